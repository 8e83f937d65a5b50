// Pure arithmetic under the drawing: view transforms, text templates, graph ranges, shape geometry.
// Reads the view state, finalXY[], chnRec[] and the axis limits of `sim`; writes nothing of it.
#pragma once

// ---- Transforms [window units] ----

// Figure transform of a path point (x, y) [m]:
// ((xorg + x)·zoom + xshift, (yorg + y)·zoom + yshift).
void figureTransform(double x, double y, double out[2]);

// Phase-plane transform of (s, ds/dt):
// (phx0·zoom + 0.5·phscale·s + xshift, phy0·zoom + 0.5·phscale·v + yshift).
void phaseTransform(double s, double v, double out[2]);

// ---- Text templates ----

// The digit table; index 10 is the letter 's'.
constexpr const char* DIGIT_TABLE = "0123456789s";
constexpr int DIGIT_LAST = 10;

// Table index of a whole number given as a double: values below 0 (and NaN) give
// 0, values above 10 give 10 ('s'), so every lookup stays inside the table.
int digitIndex(double wholeValue);

// Table indices of the four truncated digits of v: d0 = trunc(v); with
// f = v − d0, d1 = trunc(10f), d2 = trunc(100f − 10d1), d3 = trunc(1000f − 100d1 − 10d2).
// Each digit is built from the remainder, so none is rounded up; each index passes digitIndex.
void truncatedDigits(double v, int digits[4]);

constexpr int ACC_TEXT_CAP = 19;   // "(1.3, 6.8)[m/s^2]\n" and its NUL
constexpr int TIME_TEXT_CAP = 10;  // "0.123[s]\n" and its NUL

// "(1.3, 6.8)[m/s^2]\n" with positions 1, 3, 6, 8 replaced by the integer digit
// and first decimal of xamax and of yamax.
void formatAccText(double xamax, double yamax, char out[ACC_TEXT_CAP]);

// "0.123[s]\n" with positions 0, 2, 3, 4 replaced by the integer digit and the
// first three decimals of t.
void formatTimeText(double t, char out[TIME_TEXT_CAP]);

// ---- Time graphs ----

// Extreme displacement over the first stepMax entries of finalXY[] (x and y
// alike), whether or not the current run wrote them.
struct DisplacementRange {
    double max;  // [m]
    double min;  // [m]
};
DisplacementRange displacementRange();

// Value scale of the displacement graph [window units per m]: height / (max − min).
// An extent below 1e-9 m (all entries equal) is taken as 1 m, so the scale stays finite.
double displacementScale(DisplacementRange r, double height);

// Goal time of the graphs: the time of chnRec[NCHN], NCHN kept inside the table.
double graphGoalTime();

// Time scale [window units per s] = len / T; 0 when T is not positive.
double timeScale(double len, double T);

// Ticks of one second along a time axis of length len for goal time T:
// n = trunc(len / d) with d = len / T, bounded to 0 … TICK_CAP.
constexpr int TICK_CAP = 1000;
int tickCount(double len, double T);

// Table index of the seconds label for n whole seconds (see digitIndex).
int secondsLabelIndex(int n);

// ---- Shapes ----

// An arrow in its own frame, tip at the origin pointing along +x, for zoom k and
// length l: L = l·k, shaft width 0.02·k, head length h = 0.1·k, shaft length
// a = max(L − h, 0).
struct ArrowGeometry {
    double shaft[4][2];  // (−h, −ws/2), (−h − a, −ws/2), (−h − a, ws/2), (−h, ws/2)
    double headUp[3][2];    // (0, 0), (−h, 0), (−1.5h, 0.4h)
    double headDown[3][2];  // (0, 0), (−h, 0), (−1.5h, −0.4h)
};
void arrowGeometry(double k, double length, ArrowGeometry* g);

// Radius of the white disc inside a ring of radius r: |r − 0.005|.
constexpr double RING_WIDTH = 0.005;
double ringInnerRadius(double r);

// ---- Carriage ----

// Placement of the carriage at path point (x, y) [m] with angle theta [rad],
// axis accelerations ax, ay [m/s^2] and zoom.
struct CarriageGeometry {
    double q[2];        // tool point (figure transform of the point)
    double corner[2];   // first vertex of the body rectangle
    double width;       // zoom·bw
    double height;      // zoom·bh
    double xTip[2];     // tip of the X-axis arrow
    double xAngle;      // its direction [rad]
    double xLength;     // 0.25·|ax| (before zoom)
    double yTip[2];     // tip of the Y-axis arrow
    double yAngle;
    double yLength;     // 0.25·|ay| (before zoom)
};
void carriageGeometry(double x, double y, double theta, double ax, double ay,
                      CarriageGeometry* g);

// Axis accelerations the arrows show in the playback frame with final-trajectory
// index k: those of finalXY[k] while the motion is under way (playback index m at
// most mf), zero once it has arrived (m past mf), as the force graphs drop to zero.
void carriageForces(int k, double out[2]);

// ---- Switching markers ----

// The marker of step j (1 … k) of the playback: the first case that holds among
// x enters / leaves its limit, y enters / leaves its limit, x or y jumps to the
// opposite limit. Returns the finalXY[] index to ring (j or j − 1), or −1 when
// none holds; *radius gets the ring radius [window units].
constexpr double LIMIT_ON_TOL = 0.00001;   // |amax − |a|| below: on the limit
constexpr double LIMIT_OFF_TOL = 0.001;    // |amax − |a|| above: off the limit
int switchMarker(int j, double* radius);

// ---- Disc polygon ----

// Vertices of the polygon that stands for a disc (carriage rings, trace discs).
constexpr int DISC_VERTICES = 120;

// (cos, sin) of the disc polygon's vertex angles i · 2π / DISC_VERTICES, computed
// once: a playback frame draws hundreds of discs.
const double (*unitCircle())[2];

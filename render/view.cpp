// Pure arithmetic under the drawing: view transforms, text templates, graph ranges, shape geometry.
// Reads the view state, finalXY[], chnRec[] and the axis limits of `sim`; writes nothing of it.
#include "render/view.h"

#include <cmath>

#include "core/state.h"

namespace {

// Index into a table of `cap` entries, kept inside it.
int boundedIndex(int i, int cap)
{
    if (i < 0) return 0;
    if (i > cap - 1) return cap - 1;
    return i;
}

// Offset (u, v) turned by theta.
void rotate(double u, double v, double theta, double out[2])
{
    const double c = std::cos(theta);
    const double s = std::sin(theta);
    out[0] = u * c - v * s;
    out[1] = u * s + v * c;
}

}  // namespace

void figureTransform(double x, double y, double out[2])
{
    const SimState& g = sim;
    out[0] = (g.xorg + x) * g.zoom + g.xshift;
    out[1] = (g.yorg + y) * g.zoom + g.yshift;
}

void phaseTransform(double s, double v, double out[2])
{
    const SimState& g = sim;
    out[0] = g.phx0 * g.zoom + 0.5 * g.phscale * s + g.xshift;
    out[1] = g.phy0 * g.zoom + 0.5 * g.phscale * v + g.yshift;
}

int digitIndex(double wholeValue)
{
    // Compared as a double first: a NaN fails both tests and a huge value never
    // reaches the int conversion.
    if (!(wholeValue >= 0.0)) return 0;
    if (wholeValue >= DIGIT_LAST) return DIGIT_LAST;
    return static_cast<int>(wholeValue);
}

void truncatedDigits(double v, int digits[4])
{
    const double d0 = std::trunc(v);
    const double f = v - d0;
    const double d1 = std::trunc(10.0 * f);
    const double d2 = std::trunc(100.0 * f - 10.0 * d1);
    const double d3 = std::trunc(1000.0 * f - 100.0 * d1 - 10.0 * d2);
    digits[0] = digitIndex(d0);
    digits[1] = digitIndex(d1);
    digits[2] = digitIndex(d2);
    digits[3] = digitIndex(d3);
}

void formatAccText(double xamax, double yamax, char out[ACC_TEXT_CAP])
{
    const char* tmpl = "(1.3, 6.8)[m/s^2]\n";
    for (int i = 0; i < ACC_TEXT_CAP; ++i) out[i] = tmpl[i];  // the NUL included
    int dx[4];
    int dy[4];
    truncatedDigits(xamax, dx);
    truncatedDigits(yamax, dy);
    out[1] = DIGIT_TABLE[dx[0]];
    out[3] = DIGIT_TABLE[dx[1]];
    out[6] = DIGIT_TABLE[dy[0]];
    out[8] = DIGIT_TABLE[dy[1]];
}

void formatTimeText(double t, char out[TIME_TEXT_CAP])
{
    const char* tmpl = "0.123[s]\n";
    for (int i = 0; i < TIME_TEXT_CAP; ++i) out[i] = tmpl[i];  // the NUL included
    int d[4];
    truncatedDigits(t, d);
    out[0] = DIGIT_TABLE[d[0]];
    out[2] = DIGIT_TABLE[d[1]];
    out[3] = DIGIT_TABLE[d[2]];
    out[4] = DIGIT_TABLE[d[3]];
}

DisplacementRange displacementRange()
{
    const SimState& g = sim;
    DisplacementRange r{-1000.0, 1000.0};
    int n = g.stepMax;
    if (n > TRAJ_CAP) n = TRAJ_CAP;
    for (int i = 0; i < n; ++i) {
        const double x = g.finalXY[i][0];
        const double y = g.finalXY[i][1];
        if (x > r.max) r.max = x;
        if (x < r.min) r.min = x;
        if (y > r.max) r.max = y;
        if (y < r.min) r.min = y;
    }
    return r;
}

double displacementScale(DisplacementRange r, double height)
{
    double extent = r.max - r.min;
    if (!(std::fabs(extent) >= 1e-9)) extent = 1.0;
    return height / extent;
}

double graphGoalTime()
{
    const SimState& g = sim;
    return g.chnRec[boundedIndex(g.NCHN, REC_CAP)][0];
}

double timeScale(double len, double T)
{
    if (!(T > 0.0)) return 0.0;
    return len / T;
}

int tickCount(double len, double T)
{
    const double d = len / T;  // one second on the axis
    const double n = std::trunc(len / d);
    if (!(n >= 0.0)) return 0;
    if (n > TICK_CAP) return TICK_CAP;
    return static_cast<int>(n);
}

int secondsLabelIndex(int n) { return digitIndex(static_cast<double>(n)); }

void arrowGeometry(double k, double length, ArrowGeometry* g)
{
    const double L = length * k;
    const double ws = 0.02 * k;
    const double h = 0.1 * k;
    const double a = L - h < 0.0 ? 0.0 : L - h;
    const double shaft[4][2] = {{-h, -ws / 2}, {-h - a, -ws / 2}, {-h - a, ws / 2}, {-h, ws / 2}};
    const double up[3][2] = {{0.0, 0.0}, {-h, 0.0}, {-1.5 * h, 0.4 * h}};
    const double down[3][2] = {{0.0, 0.0}, {-h, 0.0}, {-1.5 * h, -0.4 * h}};
    for (int i = 0; i < 4; ++i) {
        g->shaft[i][0] = shaft[i][0];
        g->shaft[i][1] = shaft[i][1];
    }
    for (int i = 0; i < 3; ++i) {
        g->headUp[i][0] = up[i][0];
        g->headUp[i][1] = up[i][1];
        g->headDown[i][0] = down[i][0];
        g->headDown[i][1] = down[i][1];
    }
}

double ringInnerRadius(double r) { return std::fabs(r - RING_WIDTH); }

// q = F(x, y); a carriage point u metres along its width axis and v along its
// height axis is q + zoom·R(θ)(u, v). Each arrow's tip sits on the edge opposite
// to the force and the arrow points the way the force pushes.
void carriageGeometry(double x, double y, double theta, double ax, double ay,
                      CarriageGeometry* g)
{
    const SimState& s = sim;
    const double z = s.zoom;
    figureTransform(x, y, g->q);
    double off[2];

    rotate(-s.bw / 2, -s.bh / 2, theta, off);
    g->corner[0] = g->q[0] + z * off[0];
    g->corner[1] = g->q[1] + z * off[1];
    g->width = z * s.bw;
    g->height = z * s.bh;

    if (ax > 0.0) {
        rotate(-s.bw / 2, 0.0, theta, off);
        g->xAngle = theta;
    } else {
        rotate(s.bw / 2, 0.0, theta, off);
        g->xAngle = theta + PI;
    }
    g->xTip[0] = g->q[0] + z * off[0];
    g->xTip[1] = g->q[1] + z * off[1];
    g->xLength = 0.25 * std::fabs(ax);

    if (ay > 0.0) {
        rotate(0.0, -s.bh / 2, theta, off);
        g->yAngle = theta + PI / 2;
    } else {
        rotate(0.0, s.bh / 2, theta, off);
        g->yAngle = theta + 3 * PI / 2;
    }
    g->yTip[0] = g->q[0] + z * off[0];
    g->yTip[1] = g->q[1] + z * off[1];
    g->yLength = 0.25 * std::fabs(ay);
}

void carriageForces(int k, double out[2])
{
    const SimState& g = sim;
    if (g.m > g.mf) {
        out[0] = out[1] = 0.0;
        return;
    }
    const int i = boundedIndex(k, TRAJ_CAP);
    out[0] = g.finalXY[i][2];
    out[1] = g.finalXY[i][3];
}

int switchMarker(int j, double* radius)
{
    const SimState& g = sim;
    if (j < 1 || j > TRAJ_CAP - 1) return -1;
    const double axp = g.finalXY[j - 1][2], axc = g.finalXY[j][2];
    const double ayp = g.finalXY[j - 1][3], ayc = g.finalXY[j][3];
    const double ex0 = std::fabs(g.xamax - std::fabs(axp));
    const double ex1 = std::fabs(g.xamax - std::fabs(axc));
    const double ey0 = std::fabs(g.yamax - std::fabs(ayp));
    const double ey1 = std::fabs(g.yamax - std::fabs(ayc));
    const double r = 0.012;

    *radius = r;
    if (ex0 > LIMIT_OFF_TOL && ex1 < LIMIT_ON_TOL) return j;      // x reaches its limit
    if (ex0 < LIMIT_ON_TOL && ex1 > LIMIT_OFF_TOL) return j - 1;  // x leaves it
    if (ey0 > LIMIT_OFF_TOL && ey1 < LIMIT_ON_TOL) return j;      // y reaches its limit
    if (ey0 < LIMIT_ON_TOL && ey1 > LIMIT_OFF_TOL) {              // y leaves it
        *radius = r * g.zoom;
        return j - 1;
    }
    if (std::fabs(axp * axc + g.xamax * g.xamax) < LIMIT_ON_TOL) return j - 1;  // x: +limit to −limit
    if (std::fabs(ayp * ayc + g.yamax * g.yamax) < LIMIT_ON_TOL) return j - 1;  // y: +limit to −limit
    return -1;
}

const double (*unitCircle())[2]
{
    static double table[DISC_VERTICES][2];
    static bool made = false;
    if (!made) {
        for (int i = 0; i < DISC_VERTICES; ++i) {
            const double th = i * 2.0 * PI / DISC_VERTICES;
            table[i][0] = std::cos(th);
            table[i][1] = std::sin(th);
        }
        made = true;
    }
    return table;
}

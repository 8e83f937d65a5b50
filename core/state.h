// The one program-wide simulation state and its constants.
// Every module reads and writes `sim`; each field says who writes it.
#pragma once

// ---- Constants (literal values used throughout) ----
constexpr double PI = 3.14159265358979;       // the literal π of the whole program
constexpr double RAD2DEG = 57.2957795;        // radians to degrees (console only)
constexpr double DEG2RAD = 0.0174532925;      // degrees to radians (console only)
constexpr double EPS_DIV = 1e-05;             // smallest divisor magnitude in the bounds
constexpr double PARALLEL_EPS = 0.0001;       // parallel test of the segment crossing
constexpr double AXIS_TOL = 0.001;            // tolerance of the axis tests of curves [m/s^2]

// Table capacities (entries, not last indices).
constexpr int TRAJ_CAP = 2001;    // phase[], TIME[], accTab[], finalXY[], normal*, ahead*
constexpr int TRAJ_LAST = TRAJ_CAP - 1;  // 2000: the last trajectory index
constexpr int CURVE_CAP = 3001;   // fwdCurve[], bwdCurve[]
constexpr int VLIMIT_CAP = 2001;  // vLimit
constexpr int REC_CAP = 30;       // chnRec[], chnStep[], nctRec[]
constexpr int RKG_MAX_EQ = 20;    // stage arrays of the integrator
constexpr int TYPE_CAP = 7;       // per-type tables; index 0 belongs to no type

// Path types.
constexpr int CP_ARC = 1;
constexpr int CP_SINE = 2;
constexpr int CP_U = 3;
constexpr int CP_SLALOM = 4;
constexpr int CP_CAM_ACC = 5;
constexpr int CP_CAM_CYCLOID = 6;

struct SimState {
    // ---- 1. Path selection (written by the dialogue) ----
    int cpType = 0;                    // current path type 1..6

    // ---- 2. Curve parameters (written by initDefaults and the dialogue) ----
    double arcA[2] = {0, 0};           // arc centre (x, y) [m]
    double arcR = 0;                   // arc radius [m]
    double sinL = 0;                   // sine wavelength [m]
    double sinA = 0;                   // sine amplitude [m]
    double uL = 0;                     // U-shape straight length [m]
    double uR = 0;                     // U-shape bend radius [m]
    double slmR = 0;                   // slalom semicircle radius [m]
    int slmN = 0;                      // slalom semicircle count
    double camL = 0;                   // constant-acceleration cam X travel [m]
    double camH = 0;                   // constant-acceleration cam Y rise [m]
    double cycL = 0;                   // cycloid cam X travel [m]
    double cycH = 0;                   // cycloid cam Y rise [m]

    // ---- 3. Derived curve constants (recomputed with their inputs) ----
    double sinK = 0;                   // 2π/sinL [1/m]
    double uArc = 0;                   // π·uR [m]
    double camA = 0;                   // 4·camH/camL² [1/m]
    double cycC = 0;                   // 2π·cycH/cycL² [1/m]
    double cycW = 0;                   // 2π/cycL [1/m]

    // ---- 4. Per-type tables (index = path type) ----
    double sEnd[TYPE_CAP] = {};        // end value of s
    double vEnd[TYPE_CAP] = {};        // ds/dt at the end; always 0
    double cpStart[TYPE_CAP][2] = {};  // start point (x, y) [m]
    double cpEnd[TYPE_CAP][2] = {};    // end point (x, y) [m]
    double dxScale[TYPE_CAP] = {};     // X slope scale of normal CP
    double dyScale[TYPE_CAP] = {};     // Y slope scale of normal CP

    // ---- 5. Goal point of the current path ----
    double xf = 0, yf = 0;             // = cpEnd[cpType] [m]

    // ---- 6. Axis limits (initDefaults, dialogue) ----
    double xamax = 0;                  // X-axis acceleration limit [m/s^2]
    double yamax = 0;                  // Y-axis acceleration limit [m/s^2]

    // ---- 7. Time stepping (keys, rebuild, resets) ----
    double dt = 0;                     // current time step [s]
    double dt0 = 0.01;                 // default time step [s], never changed
    int nSub = 0;                      // sub-steps per time step
    int stepMax = 800;                 // 's' clamp, reset length, graph scan; never changed

    // ---- 8. Command state (keys) ----
    char lastKey = 0;                  // last key pressed in the window

    // ---- 9. View and layout (initDefaults, dialogue, view keys) [window units] ----
    double zoom = 0;                   // figure scale
    double phscale = 0;                // phase-plane axis scale
    double xshift = 0, yshift = 0;     // pan offsets
    double xorg = 0, yorg = 0;         // figure origin [m]
    double phx0 = 0, phy0 = 0;         // phase-plane origin
    double gx0 = 0, gy0 = 0;           // displacement graph origin
    double t1x0 = 0, t1y0 = 0;         // first force graph origin
    double t2x0 = 0, t2y0 = 0;         // second force graph origin
    double tlen = 0;                   // time axis length
    double t1h = 0, t2h = 0;           // force graph half-heights
    double bw = 0;                     // carriage width [m]
    double bh = 0;                     // carriage height [m]

    // ---- 10. Search state, curves and trajectories (search, keys, join, rebuild) ----
    double t = 0;                      // search clock [s]
    int m = 0;                         // step index; playback index after the end
    int accSign = 0;                   // +1 accelerate, -1 decelerate
    int NCHN = 0;                      // index of the last switching record
    int NCT = 0;                       // index of the last axis-force switch record
    char endMark = 0;                  // 'e' in playback, '0' otherwise
    char joinMark = 0;                 // 'f' after a successful join, '0' otherwise
    int mf = 0;                        // last index of the joined / final trajectory
    int mNormal = 0;                   // last index of normal CP motion, 0 until computed
    double tf = 0;                     // minimum positioning time [s]
    double tfNormal = 0;               // normal CP positioning time [s]
    double TIME[TRAJ_CAP] = {};        // time of each point [s]
    double phase[TRAJ_CAP][2] = {};    // (s, ds/dt) of each point
    double accTab[TRAJ_CAP][3] = {};   // (path, x, y) accelerations of each point [m/s^2]
    double accNow[3] = {};             // accelerations of the latest integration step
    double aheadSame[TRAJ_CAP][2] = {};  // look-ahead keeping accSign (per frame)
    double aheadFlip[TRAJ_CAP][2] = {};  // look-ahead with accSign reversed (per frame)
    int aheadSameN = 0;                // last index of aheadSame (search step)
    int aheadFlipN = 0;                // last index of aheadFlip (search step)
    bool aheadMade = false;            // look-ahead curves computed in this frame (search step)
    bool finishPending = false;        // joined playback reached mf; finishSearch must run
    int playK = 0;                     // final-trajectory index of the playback frame (search step)
    bool tableFullShown = false;       // the trajectory-table message was given (reset per search)
    bool recordsFullShown = false;     // the switching-record message was given (reset per search)
    bool joinFullShown = false;        // the join-does-not-fit message was given (reset per search)
    bool searchStopped = false;        // the last step failed: no new point until t, r, c, 0 or a join
    int junctionIndex = 0;             // trajectory index of the junction of the last join
    double chnRec[REC_CAP][5] = {};    // switching records (t, s, ds/dt, ax, ay)
    int chnStep[REC_CAP] = {};         // trajectory index of each switching record
    double nctRec[REC_CAP][5] = {};    // axis-force switch records (t, s, ds/dt, ax, ay)
    double fwdCurve[CURVE_CAP][2] = {};  // max-acceleration curve from the start
    double bwdCurve[CURVE_CAP][2] = {};  // max-deceleration curve into the goal
    int fwdN = 0, bwdN = 0;            // last indices of the boundary curves
    bool bwdStopViolated = false;      // bwdCurve ends at a sub-step that broke an axis limit
    double vLimit[VLIMIT_CAP][2] = {}; // (s, largest ds/dt) samples
    int vLimitLast = 0;                // last index of vLimit
    double finalXY[TRAJ_CAP][4] = {};  // rebuilt trajectory (x, y, ax, ay)
    double normalS[TRAJ_CAP][2] = {};  // normal CP (s, ds/dt)
    double normalAcc[TRAJ_CAP][3] = {};  // normal CP accelerations
    double normalXY[TRAJ_CAP][2] = {};   // normal CP robot position [m]
};

static_assert(TRAJ_CAP > 801, "the search writes up to index stepMax + 1");
static_assert(REC_CAP >= 3, "a join needs the start, the junction and the end");
static_assert(sizeof(((SimState*)nullptr)->phase) / sizeof(double[2]) == TRAJ_CAP, "phase[] capacity");
static_assert(sizeof(((SimState*)nullptr)->fwdCurve) / sizeof(double[2]) == CURVE_CAP, "curve capacity");

extern SimState sim;

// Gives sections 1 to 9 their defaults and prints the conditions report.
void initDefaults();

// Per-type derived values and table rows of one path type, from its entered parameters.
void updateTypeTables(int type);

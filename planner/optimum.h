// The exact minimum-time motion from rest to rest along the current path under
// the two axis limits, found without a window: the answer key to a search.
// Reads the path and limits of `sim` (cpType, curve parameters, sEnd, xamax,
// yamax); leaves the search state as it found it. Writes only `optimum`.
#pragma once

constexpr int OPT_PROFILE_CAP = 20001;  // samples of the optimal profile
constexpr int OPT_SWITCH_CAP = 256;     // switching points of the optimal motion (two per dip of the limit)

// What happens at a switching point of the optimal motion.
constexpr int OPT_ACC_TO_BRAKE = 1;     // from the largest to the smallest path acceleration
constexpr int OPT_BRAKE_TO_ACC = 2;     // back to acceleration where braking touches the velocity limit
constexpr int OPT_ALONG_LIMIT = 3;      // the motion follows the velocity limit curve from here
                                        // (a braking-to-acceleration point that the next braking
                                        // curve meets again at once: no acceleration in between)

struct OptSwitch {
    double t = 0;       // time of the switch [s]
    double s = 0;       // path parameter there
    double v = 0;       // ds/dt there
    double ax = 0;      // X-axis acceleration just after the switch [m/s^2]
    double ay = 0;      // Y-axis acceleration just after the switch [m/s^2]
    int kind = 0;       // OPT_ACC_TO_BRAKE, OPT_BRAKE_TO_ACC or OPT_ALONG_LIMIT
};

// Why no optimal motion was found (the first failure of a solve).
enum OptFailure {
    OPT_OK = 0,
    OPT_NO_PATH,          // no path type 1..6, or no positive finite limits or path length
    OPT_BREAKS_FULL,      // more joins and zero-inertia points than OPT_BREAK_CAP
    OPT_GRID_FULL,        // the grid through them would overflow its table
    OPT_NODES_FULL,       // the profile or a braking curve needs more nodes than its table
    OPT_SWITCHES_FULL,    // more switching points than OPT_SWITCH_CAP
    OPT_STEP_CAP,         // an integration within one grid cell ran out of sub-steps
    OPT_NOT_A_NUMBER,     // a value of the path, a curve or a time is not a finite number
    OPT_NO_CONTINUATION,  // no switching point from which the curves go on to the goal
};

constexpr int OPT_BREAK_CAP = 512;       // joins of the curve's pieces and zero-inertia points
constexpr int OPT_SUBSTEP_CAP = 2000;    // integration sub-steps within one grid cell

struct OptimumResult {
    bool ok = false;                          // a motion was found
    OptFailure failure = OPT_OK;              // why not, when !ok
    double tf = 0;                            // minimum positioning time [s]
    int nProfile = 0;                         // index of the last profile sample
    double profile[OPT_PROFILE_CAP][3] = {};  // (s, ds/dt, t), s increasing from 0 to sEnd
    int nSwitch = 0;                          // number of switching points
    OptSwitch sw[OPT_SWITCH_CAP];             // in increasing time
};

extern OptimumResult optimum;

// Computes the optimal motion of the path and limits in force into `optimum`.
// Returns optimum.ok; false (with tf = 0, no samples and the reason in
// optimum.failure) for a state without a path type 1..6 or positive finite
// limits, a table that would overflow, an integration that runs out of
// sub-steps, a value that is not a number, or a curve that cannot be continued.
// The switching list starts and ends with OPT_ACC_TO_BRAKE; in between the kinds
// alternate (each touch of the limit curve is preceded by a switch to braking).
bool computeOptimum();

// The optimal motion at one time.
struct OptimumPoint {
    double s = 0;   // path parameter
    double v = 0;   // ds/dt
    double x = 0;   // robot position [m]
    double y = 0;
    double ax = 0;  // X-axis acceleration [m/s^2]
    double ay = 0;  // Y-axis acceleration [m/s^2]
};

// The optimal motion at time t (clamped to 0..tf); all zero without an optimum.
OptimumPoint optimumAt(double t);

// What can be said of an ended key session before it is graded against the optimum:
// whether its rebuilt motion ends at the goal at rest and is not faster than the
// optimum beyond the tolerances of the two computations. Reads `sim` and `optimum`.
#pragma once

// The solver's accuracy: its tf is within this of the true minimum, relative.
constexpr double OPTIMUM_REL_TOL = 1e-6;
// The session's own integration error on tf [s]: its search steps of dt0/nSub
// (Runge-Kutta-Gill) lose accuracy where the limiting axis changes, a few
// microseconds at most on the paths sampled by the tests; invisible in the
// four printed decimals.
constexpr double SESSION_ABS_TOL = 1e-5;

struct SessionCheck {
    bool ended = false;     // the search ended (endMark 'e')
    double tf = 0;          // the session's positioning time (its end record) [s]
    double sLast = 0;       // last point of its rebuilt motion
    double vLast = 0;
    bool atGoal = false;    // the motion, its end record and tf end at the goal at rest
    bool notFaster = false; // tf is not below the optimum beyond the two tolerances
    bool sound() const { return ended && atGoal && notFaster; }
};

SessionCheck checkSession();

// Test support: a path prepared without the console dialogue, and a whole guided
// search session driven through the window keys only, as the console help teaches it.
#pragma once

#include <string>

// One path with its dimensions and axis limits. The meaning of a and b follows
// the path type: arc (radius [m], angle [deg]), sine (wavelength, amplitude),
// U shape (straight length, bend radius), slalom (radius, number of semicircles),
// both cams (travel L, rise H).
struct PathCase {
    std::string label;
    int type = 1;
    double a = 0.0;
    double b = 0.0;
    double xamax = 2.0;
    double yamax = 2.0;
};

// The six paths with the default dimensions and limits.
PathCase defaultCase(int type);

// A fresh state with the given path, its boundary curves, velocity limit curve
// and a reset search, as the end of the setup dialogue leaves them. The
// conditions report is discarded.
void preparePath(const PathCase& c);

// The outcome of one guided session.
struct GuidedResult {
    bool completed = false;   // the search ended (endMark 'e')
    double tf = 0.0;          // minimum positioning time [s]
    double tfNormal = 0.0;    // normal CP positioning time [s]
    int NCHN = 0;             // index of the last switching record (the end record)
    int keys = 0;             // keys pressed in the whole session
    int switches = 0;         // 'c' and 'r' presses
    int joinAttempts = 0;     // 'f' presses (a failed one acts as 's')
    int maxIndex = 0;         // largest trajectory index m of the search (the 's' clamp is stepMax)
    std::string keyLog;       // every key pressed, in order
    std::string console;      // console output of the session
};

// Runs a whole session on the prepared path (preparePath first) with the
// compute-only frame, letting the look-ahead decide:
// - accelerating, 'r' (back one point and brake) as soon as the braking
//   look-ahead runs into the velocity limit, and 'c' when the very next
//   accelerating step would leave the admissible region;
// - braking, 'c' when the accelerating look-ahead reaches the deceleration
//   curve, or when braking has brought the trajectory to its closest approach
//   to the velocity limit past the dip it braked for (earlier only with
//   switching records to spare);
// - before each switch, 't' and steps of dt0/20 place it to a twentieth of a step;
// - 'f' once the trajectory has passed the deceleration curve (a failed 'f'
//   acts as 's'), then 's' until the search ends.
// Two switching records are always kept for the join. At most maxKeys keys.
GuidedResult runGuidedSession(int maxKeys = 4000);

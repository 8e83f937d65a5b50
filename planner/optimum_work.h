// The working tables and shared routines of the minimum-time solver, used by its
// pieces only (optimum_*.cpp): the admissible accelerations and the integration of
// the extreme curves (optimum_curves), the grid and its breaks (optimum_grid), the
// profile and its switching points (optimum_profile), the time quadrature
// (optimum_time), and the result and its sampling (optimum.cpp).
//
// Units: s is the path parameter (metres on the straight-line parts of the sine,
// U and cams, radians on the arc and slalom); w = (ds/dt)^2 in (unit of s)^2/s^2.
// Length tolerances are relative to `work.scale` = max(1, sEnd), so that a long
// path and a short one get the same number of significant digits.
#pragma once

#include <cmath>

#include "planner/optimum.h"

namespace optimum_detail {

constexpr double INF = HUGE_VAL;

// ---- Table sizes and iteration caps ----
constexpr int GRID_CELLS = 2000;                  // uniform cells before the breaks are added
constexpr int BREAK_CAP = OPT_BREAK_CAP;
constexpr int GRID_CAP = GRID_CELLS + BREAK_CAP + 2;
constexpr int NODE_CAP = OPT_PROFILE_CAP;         // nodes of the profile under construction
constexpr int BRAKE_CAP = GRID_CAP + 2;           // nodes of one braking curve from a switching point
constexpr int BREAK_SCAN_CELLS = 1024;            // scan for sign changes of x' and y'
constexpr int ROOT_HALVINGS = 60;                 // every root search stops after this many halvings
constexpr int SUBSTEP_CAP = OPT_SUBSTEP_CAP;      // RK4 sub-steps within one cell
constexpr int STEP_RETRY_CAP = 40;                // shortenings of one RK4 sub-step
constexpr int CANDIDATE_CAP = 64;                 // rejected switching-point candidates per search
constexpr int REFINE_DEPTH = 16;                  // halvings of a cell in the time quadrature
constexpr int PIECE_BUDGET = 200000;              // quadrature pieces per solution
constexpr int KINK_ITER = 30;                     // steps of the search for where the other axis takes over
constexpr int NEWTON_CAP = 60;                    // steps of the time-to-s inversion in one cell

// ---- Tolerances (lengths in units of s, times of `work.scale`; see above) ----
constexpr double ROOT_WIDTH = 1e-15;              // a root search stops at this bracket width [scale]
constexpr double EDGE = 1e-12;                    // derivatives of a cell are taken this far inside it [scale]
constexpr double SAME_BREAK = 1e-12;              // two breaks closer than this are one [scale]
constexpr double SAME_NODE = 1e-13;               // a crossing this close to a node is that node [scale]
constexpr double MIN_SUBSTEP = 1e-10;             // shortest RK4 sub-step [scale]
constexpr double SWITCH_STEP = 1e-7;              // the Euler step off a switching point [scale]
constexpr double SLOPE_STEP = 1e-6;               // half-width of the limit curve's difference quotient [scale]
constexpr double BREAK_SIDE = 1e-7;               // a break's sides are judged this far from it [scale]
constexpr double CANDIDATE_GAP = 1e-9;            // the next candidate lies at least this far on [scale]
constexpr double ALONG_LIMIT_GAP = 1e-7;          // braking that starts this close after a touch follows the limit [scale]
constexpr double SWITCH_ACC_STEP = 1e-6;          // the accelerations after a switch on the limit are taken here [scale]
constexpr double SPLIT_GRID = 0.1;                // a uniform node this close to a break is dropped [cell]
constexpr double ABOVE_LIMIT_REL = 1e-9;          // w above the limit curve by this fraction is outside [1]
constexpr double ABOVE_LIMIT_ABS = 1e-13;         // ... plus this much [w]
constexpr double BREAK_JUMP_REL = 1e-9;           // a jump of the limit at a break smaller than this is none [1]
constexpr double STIFF_STEP = 0.4;                // RK4 sub-step times the stiffness of the active bound [1]
constexpr double STIFF_STAGE = 1.0;               // ... at most this for any stage, else the step is shortened [1]
constexpr double STEP_SHORTEN = 0.25;             // factor of a shortened RK4 sub-step [1]
constexpr double CUBIC_FIT_REL = 1e-4;            // the cubic follows the curve: mid slope within this fraction [1]
constexpr double CUBIC_FIT_ABS = 1e-12;           // ... of its slope scale plus this [w / unit of s]
constexpr double TIME_SETTLED_ABS = 1e-11;        // halving a piece changed its time by at most this [s]
constexpr double TIME_SETTLED_REL = 1e-9;         // ... plus this fraction of the time of the cell [1]
constexpr double KINK_WIDTH = 1e-9;               // the change of axis located to this part of its RK4 step [1]
constexpr double SAMPLE_TIME_REL = 1e-12;         // s(t) inverted to this time error [1 + t, s]
constexpr double SAMPLE_WIDTH = 1e-14;            // ... or this bracket width [scale]

// The curve integrated: the largest path acceleration or the smallest (braking).
enum Extreme : int { BRAKING = -1, ACCELERATING = 1 };
// How a curve leaves its first point: through the usual bounds, or off a
// switching point on the limit curve, where the bounds themselves may be 0/0.
enum class CurveStart { REGULAR, AT_SWITCH };
// From which end of a cell its curve was built (and is integrated again).
enum class BuiltFrom { LEFT, RIGHT };

// Working tables of one solution (kept for optimumAt).
struct OptimumWork {
    double sEnd = 0.0;
    double scale = 1.0;      // max(1, sEnd): length scale of the tolerances
    double edge = 0.0;       // distance from a cell end at which its derivatives are taken

    double breaks[BREAK_CAP] = {};
    int nBreaks = 0;
    double grid[GRID_CAP] = {};
    bool gridIsBreak[GRID_CAP] = {};
    int gridLast = 0;        // index of the last node (= sEnd)

    // Braking curve into the goal at the grid nodes; INF left of where it is defined.
    double goalW[GRID_CAP] = {};
    double goalFrom = 0.0;   // smallest s of its admissible part
    double goalFromW = 0.0;

    // The profile under construction: nodes in increasing s, the bound of the cell after each.
    double nodeS[NODE_CAP] = {};
    double nodeW[NODE_CAP] = {};
    Extreme nodeBound[NODE_CAP] = {};
    bool nodeOnLimit[NODE_CAP] = {};  // a switching point on the limit curve
    bool cellRough[NODE_CAP] = {};    // the cell after this node is not followed by a cubic
    double nodeT[NODE_CAP] = {};
    int nNodes = 0;
    int pieceBudget = 0;

    // A braking curve from a switching point, nodes in decreasing s.
    double brakeS[BRAKE_CAP] = {};
    double brakeW[BRAKE_CAP] = {};
    int nBrake = 0;

    int switchNode[OPT_SWITCH_CAP] = {};
    int switchKind[OPT_SWITCH_CAP] = {};
    int nSwitches = 0;       // counted beyond the table, so that an overflow is seen

    OptFailure failure = OPT_OK;  // the first failure of this solve
};

extern OptimumWork work;

// ---- The one root search ----

// Where a property changes between a and b (either may be the larger): side(m)
// is negative on a's side, positive on b's side, zero on the change itself.
// The bracket is halved until it is no wider than `width` (or ROOT_HALVINGS
// halvings); on return `a` is the last point on a's side, `b` on b's side,
// both the root when side gave zero.
struct Bracket {
    double a, b;
    double middle() const { return 0.5 * (a + b); }
};

template <typename Side>
Bracket findChange(double a, double b, double width, Side side)
{
    for (int it = 0; it < ROOT_HALVINGS && std::fabs(b - a) > width; ++it) {
        const double m = 0.5 * (a + b);
        const int k = side(m);
        if (k == 0) return {m, m};
        if (k < 0)
            a = m;
        else
            b = m;
    }
    return {a, b};
}

inline double rootWidth() { return ROOT_WIDTH * work.scale; }

// Every s in [a, b] where f changes sign, scanned over `cells` equal cells:
// found(s) for each. A sign change inside a cell is located by findChange to
// `width`; a
// node where f is exactly zero between values of opposite sign is a change
// itself; a stretch of several zero nodes (a part where f vanishes) is none.
template <typename F, typename Found>
void scanSignChanges(double a, double b, int cells, double width, F f, Found found)
{
    const double h = (b - a) / cells;
    double prevS = a, prevF = f(a);  // the last node with a nonzero value (or the start)
    int zeros = prevF == 0.0 ? 1 : 0;  // zero nodes since then
    double zeroAt = a;
    for (int i = 1; i <= cells; ++i) {
        const double s = i == cells ? b : a + i * h;
        const double fs = f(s);
        if (fs == 0.0) {
            if (zeros++ == 0) zeroAt = s;
            continue;
        }
        if (prevF != 0.0 && (fs < 0.0) != (prevF < 0.0)) {
            if (zeros == 1) {
                found(zeroAt);
            } else if (zeros == 0) {
                const double f0 = prevF;
                found(findChange(prevS, s, width, [&](double m) {
                          const double fm = f(m);
                          if (fm == 0.0) return 0;
                          return (fm < 0.0) == (f0 < 0.0) ? -1 : 1;
                      }).middle());
            }
        }
        prevS = s;
        prevF = fs;
        zeros = 0;
    }
}

// Records the first failure of the solve; false, so that `return fail(...)` ends a step.
inline bool fail(OptFailure why)
{
    if (work.failure == OPT_OK) work.failure = why;
    return false;
}

// ---- optimum_curves.cpp: admissible accelerations and the extreme curves ----

double clampTo(double s, double lo, double hi);
// The range inside [a, b] (either order) where a cell's derivatives are taken:
// shrunk by work.edge, so that a cell that ends at a join uses its own piece.
void innerRange(double a, double b, double* lo, double* hi);
// Admissible d2s/dt2 at (s, w): the band [lo, hi] and d(lo)/dw, d(hi)/dw.
struct Band {
    double lo, hi;
    double slopeLo, slopeHi;
    int axisLo, axisHi;  // the axis whose limit gives lo, hi: 0 X, 1 Y, -1 none
};
void bandAt(double s, double w, Band* b);
// Largest w at s with a non-empty band (INF where no axis limits w).
double limitW(double s);
double limitIn(double s, double lo, double hi);
bool aboveLimit(double w, double lim);
// dw/ds of the extreme curve at (s, w) with s clamped to [lo, hi]; *stiff is its d/dw.
// *axis (when given) receives the axis whose limit is active.
double slopeW(double s, double w, Extreme e, double lo, double hi, double* stiff, int* axis = nullptr);
// The curve from (s0, w0) to s1 within one grid cell (either direction). With
// `left` given, stops at the first sub-step end above the limit curve and sets
// *left. NAN when the sub-step cap runs out.
double integrateCurve(double s0, double w0, double s1, Extreme e, CurveStart start = CurveStart::REGULAR,
                      bool* left = nullptr);
// The curve from (sIn, wIn), admissible there, is outside the admissible region
// at sOut (in the same cell): the last s towards sOut where it is still inside.
double lastAdmissible(double sIn, double wIn, double sOut, Extreme e, CurveStart start, double lo, double hi);
// The axis accelerations of the extreme motion at (s, w), s clamped to [lo, hi].
void axisAccAt(double s, double w, Extreme e, double lo, double hi, double* ax, double* ay);

// ---- optimum_grid.cpp ----

// The breaks (joins of the curve's pieces, zero-inertia points) and the grid
// through them; false when a table would overflow.
bool makeGrid();
// Index of the grid cell [grid[i], grid[i+1]) holding s.
int cellOf(double s);

// ---- optimum_profile.cpp ----

// The profile from rest to rest with its switching points; false on failure.
bool buildProfile();

// ---- optimum_time.cpp ----

// Times of every profile node (nodeT) and the roughness of every cell; false
// when a time is not finite.
bool timeProfile();
// Cubic through (0, w0) and (h, w1) with slopes d0, d1, at x.
double hermite(double x, double h, double w0, double w1, double d0, double d1);
// Slopes dw/ds at both ends of profile cell i.
void cellSlopes(int i, double* d0, double* d1);
// Time over [a, b] inside cell i along the cubic through its ends (slopes d0,
// d1), by the same quadrature as the whole cell's; INF where the cubic is not positive.
double cubicTime(int i, double a, double b, double d0, double d1);
// Time from the start of cell i to s inside it, and w at s, along the curve.
double partialTime(int i, double s, double* ws);

}  // namespace optimum_detail

// The exact minimum-time motion along the current path, by the phase-plane
// method with switching points on the velocity limit curve.
// Reads the path and limits of `sim`; writes `optimum` and this file's tables.
//
// State and integration. The motion is described by w = (ds/dt)^2 as a function
// of s. With u = d2s/dt2 the axis accelerations are
//   x'' = x'(s) u + x''(s) w,   y'' = y'(s) u + y''(s) w,
// so each axis limit is a band of u whose ends are linear in w, and the
// extreme accelerations give dw/ds = 2 u_max(s, w) or 2 u_min(s, w): an ODE in s
// that is linear in w for each active bound. It is integrated with RK4 on a grid
// in s whose nodes include every join of the curve's pieces and every point
// where x' or y' vanishes, so that no step straddles a jump of the right-hand
// side, and the curves of the method can be compared node by node.
//
// The method. The acceleration curve runs forward from rest at the start until
// it crosses the braking curve into rest at the goal, or reaches the velocity
// limit w_lim(s) (where the two bands just touch). In the second case the next
// switching point on the limit curve is the first s beyond where the limit
// stops being a barrier for the motion: where the slope of the limit curve rises
// from below to above the slope 2u* that the only admissible acceleration u*
// on it gives (a tangent point), or a join or zero-inertia point where it jumps
// that way. From there the braking curve runs backwards until it meets the
// curve built so far (a switch from acceleration to braking) and the
// acceleration curve forwards (a switch from braking to acceleration); repeat.
// Every crossing and every switching point is located by bisection.
//
// Time. t(s) = integral of ds / sqrt(w) per cell, by Gauss-Legendre quadrature
// after the substitution s = end +- (h/2) tau^2 from each end, which removes the
// 1/sqrt singularity of a cell that starts or ends at rest. Inside a cell w is
// the cubic through its ends (values and slopes) where that cubic follows the
// curve; next to a switching point on the limit curve, or where the active
// bound changes inside the cell, the curve itself is integrated to the
// quadrature points, halving the cell until the time settles.
//
// Tables are fixed; every integration, search and refinement has an iteration
// cap. A failure anywhere (a curve that cannot be continued, a table that would
// overflow, no switching point where one must be) gives ok = false.
#include "planner/optimum.h"

#include <cmath>

#include "core/state.h"
#include "path/curves.h"

OptimumResult optimum;

namespace {

constexpr double INF = HUGE_VAL;

constexpr int GRID_CELLS = 2000;                  // uniform cells before the breaks are added
constexpr int BREAK_CAP = 512;                    // joins and zero-inertia points
constexpr int GRID_CAP = GRID_CELLS + BREAK_CAP + 2;
constexpr int NODE_CAP = OPT_PROFILE_CAP;         // nodes of a curve under construction
constexpr int BREAK_SCAN_CELLS = 1024;            // scan for sign changes of x' and y'
constexpr int BISECT_ITER = 60;                   // every root finder stops after this many halvings
constexpr int SUBSTEP_CAP = 2000;                 // RK4 sub-steps within one cell
constexpr int SIGMA_TRIES = 64;                   // rejected switching-point candidates per search
constexpr int REFINE_DEPTH = 16;                  // halvings of a cell in the time quadrature
constexpr int PIECE_BUDGET = 200000;              // quadrature pieces per solution

// Five-point Gauss-Legendre nodes and weights on [0, 1].
constexpr double GX[5] = {0.046910077030668, 0.230765344947158, 0.5, 0.769234655052842, 0.953089922969332};
constexpr double GW[5] = {0.118463442528095, 0.239314335249683, 0.284444444444444, 0.239314335249683,
                          0.118463442528095};

// Working tables of one solution (kept for optimumAt).
struct OptimumWork {
    double sEnd = 0.0;
    double scale = 1.0;      // max(1, sEnd): length scale of the tolerances
    double edge = 0.0;       // distance from a cell end at which its derivatives are taken

    double brk[BREAK_CAP] = {};
    int nBrk = 0;
    double grid[GRID_CAP] = {};
    bool gridIsBreak[GRID_CAP] = {};
    int nGrid = 0;           // index of the last node (= sEnd)

    // Braking curve into the goal at the grid nodes; INF left of where it is defined.
    double goalW[GRID_CAP] = {};
    double goalFrom = 0.0;   // smallest s of its admissible part
    double goalFromW = 0.0;

    // The profile under construction: nodes in increasing s; sign of the cell after each.
    double ps[NODE_CAP] = {};
    double pw[NODE_CAP] = {};
    int psg[NODE_CAP] = {};
    bool onLimit[NODE_CAP] = {};  // a switching point on the limit curve
    bool rough[NODE_CAP] = {};    // the cell after this node is not followed by a cubic
    int pieceBudget = 0;
    double pt[NODE_CAP] = {};
    int np = 0;              // number of nodes

    // A braking curve from a switching point, nodes in decreasing s.
    double ts[GRID_CAP + 2] = {};
    double tw[GRID_CAP + 2] = {};
    int nt = 0;

    int swNode[OPT_SWITCH_CAP] = {};
    int swKind[OPT_SWITCH_CAP] = {};
    int nsw = 0;
};

OptimumWork wk;

// ---- Admissible accelerations ----

struct Band {
    double lo, hi;           // admissible d2s/dt2
    double slopeLo, slopeHi; // d(lo)/dw, d(hi)/dw of the active bounds
};

// One axis, |c1 u + c2 w| <= amax: u between (-amax - c2 w)/c1 and (amax - c2 w)/c1.
// An axis that does not move along the path here (c1 = 0) bounds w only.
void narrowBand(double c1, double c2, double w, double amax, Band* b)
{
    if (c1 == 0.0) return;
    const double slope = -c2 / c1;
    const double e1 = (amax - c2 * w) / c1;
    const double e2 = (-amax - c2 * w) / c1;
    const double up = e1 > e2 ? e1 : e2;
    const double dn = e1 > e2 ? e2 : e1;
    if (up < b->hi) {
        b->hi = up;
        b->slopeHi = slope;
    }
    if (dn > b->lo) {
        b->lo = dn;
        b->slopeLo = slope;
    }
}

void bandAt(double s, double w, Band* b)
{
    CurveDerivs d;
    cpDerivatives(s, &d);
    b->lo = -INF;
    b->hi = INF;
    b->slopeLo = b->slopeHi = 0.0;
    narrowBand(d.x1, d.x2, w, sim.xamax, b);
    narrowBand(d.y1, d.y2, w, sim.yamax, b);
    if (!std::isfinite(b->lo)) b->lo = b->hi;  // a curve with x' = y' = 0 here: no motion
    if (!std::isfinite(b->hi)) b->hi = b->lo;
    if (!std::isfinite(b->lo)) b->lo = b->hi = 0.0;
}

// Largest w at s with a non-empty band: the two bands' centres -c2 w / c1 are
// apart by |x''/x' - y''/y'| w, their half-widths add to xamax/|x'| + yamax/|y'|.
double limitW(double s)
{
    CurveDerivs d;
    cpDerivatives(s, &d);
    const double cross = std::fabs(d.x1 * d.y2 - d.x2 * d.y1);
    const double supply = sim.xamax * std::fabs(d.y1) + sim.yamax * std::fabs(d.x1);
    if (cross == 0.0) return INF;
    return supply / cross;
}

double clampTo(double s, double lo, double hi)
{
    if (s < lo) return lo;
    if (s > hi) return hi;
    return s;
}

// Derivatives are taken inside [lo, hi] shrunk by the edge distance, so that a
// cell that ends at a join uses its own piece of the curve.
void shrink(double a, double b, double* lo, double* hi)
{
    const double l = a < b ? a : b;
    const double h = a < b ? b : a;
    double e = wk.edge;
    if (e > 0.25 * (h - l)) e = 0.25 * (h - l);
    *lo = l + e;
    *hi = h - e;
}

// dw/ds of the acceleration (sign > 0) or braking (sign < 0) curve; *stiff is
// its derivative with respect to w.
double slopeW(double s, double w, int sign, double lo, double hi, double* stiff)
{
    Band b;
    bandAt(clampTo(s, lo, hi), w, &b);
    if (sign > 0) {
        *stiff = 2.0 * b.slopeHi;
        return 2.0 * b.hi;
    }
    *stiff = 2.0 * b.slopeLo;
    return 2.0 * b.lo;
}

double limitIn(double s, double lo, double hi) { return limitW(clampTo(s, lo, hi)); }

bool aboveLimit(double w, double lim) { return w > lim * (1.0 + 1e-9) + 1e-13; }

// Integrates the acceleration or braking curve from (s0, w0) to s1 (either
// direction), all within one grid cell. The sub-steps are limited by the
// stiffness of the active bound (its d(2u)/dw), which grows without bound next
// to a point where the tangent of that axis vanishes and above the limit curve;
// a step whose stages meet a stiffer bound than its start is retried shorter.
// With `fromSwitch` the first short step is an Euler step whose slope is taken
// just off s0: at a zero-inertia switching point the bounds themselves are 0/0.
// With `left` given, the integration stops at the end of the first sub-step
// that lies above the limit curve and sets *left.
double advance(double s0, double w0, double s1, int sign, bool fromSwitch = false, bool* left = nullptr)
{
    if (left) *left = false;
    const double len = s1 - s0;
    if (len == 0.0) return w0;
    const double dir = len > 0.0 ? 1.0 : -1.0;
    double lo, hi;
    shrink(s0, s1, &lo, &hi);
    double s = s0, w = w0;
    const double hMin = 1e-10 * wk.scale;
    if (fromSwitch) {
        double h = 1e-7 * wk.scale;
        if (h > 0.5 * std::fabs(len)) h = 0.5 * std::fabs(len);
        double stiff;
        const double f = slopeW(s0 + dir * h, w, sign, lo, hi, &stiff);
        w += dir * h * f;
        s = s0 + dir * h;
    }
    for (int k = 0; k < SUBSTEP_CAP && (s1 - s) * dir > 0.0; ++k) {
        double stiff;
        const double k1 = slopeW(s, w, sign, lo, hi, &stiff);
        double h = s1 - s;
        if (stiff != 0.0) {
            double cap = 0.4 / std::fabs(stiff);
            if (cap < hMin) cap = hMin;
            if (std::fabs(h) > cap) h = dir * cap;
        }
        double k2 = 0, k3 = 0, k4 = 0;
        for (int retry = 0; retry < 40; ++retry) {
            double st2, st3, st4;
            k2 = slopeW(s + 0.5 * h, w + 0.5 * h * k1, sign, lo, hi, &st2);
            k3 = slopeW(s + 0.5 * h, w + 0.5 * h * k2, sign, lo, hi, &st3);
            k4 = slopeW(s + h, w + h * k3, sign, lo, hi, &st4);
            double sMax = std::fabs(st2);
            if (std::fabs(st3) > sMax) sMax = std::fabs(st3);
            if (std::fabs(st4) > sMax) sMax = std::fabs(st4);
            if (sMax * std::fabs(h) <= 1.0 || std::fabs(h) <= hMin) break;
            h *= 0.25;
        }
        w += h / 6.0 * (k1 + 2.0 * k2 + 2.0 * k3 + k4);
        s = ((s1 - (s + h)) * dir <= 0.0) ? s1 : s + h;
        if (!std::isfinite(w)) return w;
        if (left && aboveLimit(w, limitIn(s, lo, hi))) {
            *left = true;
            return w;
        }
    }
    if ((s1 - s) * dir > 0.0) return NAN;  // the sub-step cap ran out
    return w;
}

// ---- Grid ----

void addBreak(double s)
{
    if (!(s > 0.0 && s < wk.sEnd)) return;
    for (int i = 0; i < wk.nBrk; ++i)
        if (std::fabs(wk.brk[i] - s) < 1e-12 * wk.scale) return;
    if (wk.nBrk < BREAK_CAP) wk.brk[wk.nBrk++] = s;
}

// Joins of the curve's pieces (where its second derivatives jump).
void addPieceJoins()
{
    const SimState& g = sim;
    switch (g.cpType) {
    case CP_U:
        addBreak(g.uL);
        addBreak(g.sEnd[CP_U] - g.uL);
        break;
    case CP_SLALOM:
        for (int k = 1; k < g.slmN && k < BREAK_CAP; ++k) addBreak(k * PI);
        break;
    case CP_CAM_ACC:
        addBreak(g.camL / 2.0);
        break;
    default:
        break;
    }
}

// Points where x' or y' changes sign: there the axis bounds only w, the limit
// curve has a corner and the acceleration on it jumps.
void addZeroInertiaPoints()
{
    const double h = wk.sEnd / BREAK_SCAN_CELLS;
    CurveDerivs a, b;
    cpDerivatives(0.0, &a);
    for (int i = 0; i < BREAK_SCAN_CELLS; ++i) {
        const double s0 = i * h, s1 = (i + 1) * h;
        cpDerivatives(s1, &b);
        for (int axis = 0; axis < 2; ++axis) {
            const double f0 = axis == 0 ? a.x1 : a.y1;
            const double f1 = axis == 0 ? b.x1 : b.y1;
            if (!(f0 * f1 < 0.0)) continue;
            double l = s0, r = s1, fl = f0;
            for (int it = 0; it < BISECT_ITER && r - l > 1e-15 * wk.scale; ++it) {
                const double m = 0.5 * (l + r);
                CurveDerivs dm;
                cpDerivatives(m, &dm);
                const double fm = axis == 0 ? dm.x1 : dm.y1;
                if (fm == 0.0) {
                    l = r = m;
                    break;
                }
                if ((fm < 0.0) == (fl < 0.0)) {
                    l = m;
                    fl = fm;
                } else {
                    r = m;
                }
            }
            addBreak(0.5 * (l + r));
        }
        a = b;
    }
}

void sortBreaks()
{
    for (int i = 1; i < wk.nBrk; ++i) {
        const double v = wk.brk[i];
        int j = i - 1;
        while (j >= 0 && wk.brk[j] > v) {
            wk.brk[j + 1] = wk.brk[j];
            --j;
        }
        wk.brk[j + 1] = v;
    }
}

// Uniform nodes merged with the breaks; a uniform node closer than a tenth of
// a cell to a break is dropped.
void makeGrid()
{
    const double h = wk.sEnd / GRID_CELLS;
    int n = 0, b = 0;
    wk.grid[0] = 0.0;
    wk.gridIsBreak[0] = false;
    for (int i = 1; i <= GRID_CELLS; ++i) {
        const double u = (i == GRID_CELLS) ? wk.sEnd : i * h;
        while (b < wk.nBrk && wk.brk[b] <= u + 0.1 * h && n + 2 < GRID_CAP) {
            if (wk.brk[b] > wk.grid[n] + 1e-12 * wk.scale && wk.brk[b] < wk.sEnd) {
                wk.grid[++n] = wk.brk[b];
                wk.gridIsBreak[n] = true;
            }
            ++b;
        }
        if (u > wk.grid[n] + 0.1 * h && n + 1 < GRID_CAP) {
            wk.grid[++n] = u;
            wk.gridIsBreak[n] = false;
        } else if (i == GRID_CELLS && n + 1 < GRID_CAP) {
            if (wk.gridIsBreak[n] && wk.grid[n] < wk.sEnd) ++n;
            wk.grid[n] = wk.sEnd;
            wk.gridIsBreak[n] = false;
        }
    }
    wk.nGrid = n;
}

// Index of the grid cell [grid[i], grid[i+1]) holding s.
int cellOf(double s)
{
    int l = 0, r = wk.nGrid;
    if (s <= wk.grid[0]) return 0;
    if (s >= wk.grid[r]) return r - 1;
    while (r - l > 1) {
        const int m = (l + r) / 2;
        if (wk.grid[m] <= s)
            l = m;
        else
            r = m;
    }
    return l;
}

// ---- The profile ----

bool pushNode(double s, double w, int sign)
{
    if (wk.np >= NODE_CAP) return false;
    wk.ps[wk.np] = s;
    wk.pw[wk.np] = w;
    wk.psg[wk.np] = sign;
    wk.onLimit[wk.np] = false;
    ++wk.np;
    return true;
}

// Profile node index at grid node s (the profile holds every grid node it spans),
// searching downwards from hint.
int profileNodeAt(double s, int hint)
{
    int i = hint < wk.np ? hint : wk.np - 1;
    while (i > 0 && wk.ps[i] > s) --i;
    return i;
}

// Profile value at s inside its cell starting at node i.
double profileAt(int i, double s)
{
    if (s == wk.ps[i]) return wk.pw[i];
    return advance(wk.ps[i], wk.pw[i], s, wk.psg[i]);
}

// Goal braking curve at s >= goalFrom.
double goalAt(double s)
{
    const int c = cellOf(s);
    if (s == wk.grid[c + 1]) return wk.goalW[c + 1];
    return advance(wk.grid[c + 1], wk.goalW[c + 1], s, -1);
}

// Braking curve into rest at the goal, backwards over the grid until it leaves
// the admissible region (then goalFrom marks where).
bool makeGoalCurve()
{
    for (int i = 0; i <= wk.nGrid; ++i) wk.goalW[i] = INF;
    wk.goalW[wk.nGrid] = 0.0;
    wk.goalFrom = 0.0;
    for (int i = wk.nGrid - 1; i >= 0; --i) {
        const double s1 = wk.grid[i + 1], w1 = wk.goalW[i + 1];
        const double s0 = wk.grid[i];
        double lo, hi;
        shrink(s0, s1, &lo, &hi);
        bool out = false;
        const double w0 = advance(s1, w1, s0, -1, false, &out);
        if (!std::isfinite(w0)) return false;
        if (aboveLimit(w1, limitIn(s1, lo, hi))) {  // already above at this cell's right end
            wk.goalFrom = s1;
            wk.goalFromW = w1;
            return true;
        }
        if (out || aboveLimit(w0, limitIn(s0, lo, hi))) {
            double l = s0, r = s1;  // admissible at r, not at l
            for (int it = 0; it < BISECT_ITER; ++it) {
                const double m = 0.5 * (l + r);
                bool outM = false;
                const double wm = advance(s1, w1, m, -1, false, &outM);
                if (outM || aboveLimit(wm, limitIn(m, lo, hi)))
                    l = m;
                else
                    r = m;
            }
            wk.goalFrom = r;
            wk.goalFromW = advance(s1, w1, r, -1);
            return true;
        }
        wk.goalW[i] = w0;
    }
    wk.goalFromW = wk.goalW[0];
    return true;
}

// ---- Switching points on the limit curve ----

// Slope of the limit curve minus the slope 2u* of the motion on it, at s inside
// the smooth piece [lo, hi]. Negative: the limit curve is a barrier (motion on
// it would leave it upwards going forward). NAN where there is no finite limit.
double barrierSlope(double s, double lo, double hi)
{
    s = clampTo(s, lo, hi);
    const double d = 1e-6 * wk.scale;
    double a = s - d, b = s + d;
    if (a < lo) a = lo;
    if (b > hi) b = hi;
    if (!(b > a)) return NAN;
    const double wa = limitW(a), wb = limitW(b), ws = limitW(s);
    if (!std::isfinite(wa) || !std::isfinite(wb) || !std::isfinite(ws)) return NAN;
    Band bd;
    bandAt(s, ws, &bd);
    return (wb - wa) / (b - a) - (bd.lo + bd.hi);
}

// Is the break at grid node i a switching point? *w receives its height.
bool breakSwitches(int i, double* w)
{
    if (i <= 0 || i >= wk.nGrid) return false;
    const double b = wk.grid[i];
    double lL, hL, lR, hR;
    shrink(wk.grid[i - 1], b, &lL, &hL);
    shrink(b, wk.grid[i + 1], &lR, &hR);
    const double wL = limitW(hL), wR = limitW(lR);
    const double ws = wL < wR ? wL : wR;
    if (!std::isfinite(ws)) return false;
    const double dg = 1e-7 * wk.scale;
    const bool leftOk = wL > ws * (1.0 + 1e-9) || !(barrierSlope(b - dg, lL, hL) > 0.0);
    const bool rightOk = wR > ws * (1.0 + 1e-9) || !(barrierSlope(b + dg, lR, hR) < 0.0);
    if (!(leftOk && rightOk)) return false;
    *w = ws;
    return true;
}

// First switching point at or after sFrom (strictly after sAfter). False when none.
bool nextSwitchingPoint(double sFrom, double sAfter, double* sig, double* wSig, bool* atBreak)
{
    const double tol = 1e-9 * wk.scale;
    double gCarry = NAN;  // the previous cell's right-end value, valid at a node that is no break
    bool carry = false;
    for (int c = cellOf(sFrom); c < wk.nGrid; ++c) {
        const double a0 = wk.grid[c], b0 = wk.grid[c + 1];
        const bool carried = carry && !wk.gridIsBreak[c];
        carry = false;
        if (wk.gridIsBreak[c] && a0 >= sFrom - tol && a0 > sAfter + tol) {
            double w;
            if (breakSwitches(c, &w)) {
                *sig = a0;
                *wSig = w;
                *atBreak = true;
                return true;
            }
        }
        double lo, hi;
        shrink(a0, b0, &lo, &hi);
        double a = a0 > sFrom ? a0 : sFrom;
        if (a < sAfter + tol) a = sAfter + tol;
        if (!(a < b0)) continue;
        const double ga = (carried && a == a0) ? gCarry : barrierSlope(a, lo, hi);
        const double gb = barrierSlope(b0, lo, hi);
        gCarry = gb;
        carry = true;
        if (!(ga < 0.0 && gb >= 0.0)) continue;
        double l = a < lo ? lo : a, r = hi;
        for (int it = 0; it < BISECT_ITER; ++it) {
            const double m = 0.5 * (l + r);
            const double gm = barrierSlope(m, lo, hi);
            if (gm < 0.0)
                l = m;
            else
                r = m;
        }
        *sig = 0.5 * (l + r);
        *wSig = limitW(*sig);
        *atBreak = false;
        return std::isfinite(*wSig);
    }
    return false;
}

// ---- Building the profile ----

void addSwitch(int node, int kind)
{
    if (wk.nsw < OPT_SWITCH_CAP) {
        wk.swNode[wk.nsw] = node;
        wk.swKind[wk.nsw] = kind;
    }
    ++wk.nsw;  // counted beyond the table, so that an overflow is seen
}

// Bisection for the s in (l, r) where f changes sign; negativeAtL tells the
// sign of f at l (f(r) has the other).
template <typename F>
double bisect(double l, double r, bool negativeAtL, F f)
{
    for (int it = 0; it < BISECT_ITER && r - l > 1e-15 * wk.scale; ++it) {
        const double m = 0.5 * (l + r);
        if ((f(m) < 0.0) == negativeAtL)
            l = m;
        else
            r = m;
    }
    return 0.5 * (l + r);
}

// The acceleration curve from the last profile node. Returns 1 when it has met
// the goal curve (the profile is then complete), 0 when it has reached the limit
// at *sHit (last node), -1 on failure.
int runForward(bool fromSwitch, double* sHit)
{
    const int startNode = wk.np - 1;
    double s0 = wk.ps[startNode], w0 = wk.pw[startNode];
    wk.psg[startNode] = 1;
    int c = cellOf(s0);
    if (s0 >= wk.sEnd) return -1;
    bool first = fromSwitch;
    for (; c < wk.nGrid; ++c) {
        const double s1 = wk.grid[c + 1];
        double lo, hi;
        shrink(s0, s1, &lo, &hi);
        // Already above the limit at the start of the cell (a downward jump of the limit).
        if (aboveLimit(w0, limitIn(s0, lo, hi))) {
            *sHit = s0;
            return 0;
        }
        bool out = false;
        const double w1 = advance(s0, w0, s1, 1, first, &out);
        if (!std::isfinite(w1)) return -1;
        double sEndSeg = s1, wEndSeg = w1;
        bool hit = false;
        if (out) {  // advance has checked every sub-step's end, s1 included
            double l = s0, r = s1;
            const bool fs = first;
            for (int it = 0; it < BISECT_ITER && r - l > 1e-15 * wk.scale; ++it) {
                const double m = 0.5 * (l + r);
                bool outM = false;
                const double wm = advance(s0, w0, m, 1, fs, &outM);
                if (outM || aboveLimit(wm, limitIn(m, lo, hi)))
                    r = m;
                else
                    l = m;
            }
            sEndSeg = l;
            wEndSeg = advance(s0, w0, l, 1, fs);
            hit = true;
        }
        // The goal curve, where it is defined, ends the acceleration.
        if (sEndSeg >= wk.goalFrom) {
            const double gEnd = sEndSeg == s1 ? wk.goalW[c + 1] : goalAt(sEndSeg);
            if (wEndSeg >= gEnd) {
                const double l0 = s0 > wk.goalFrom ? s0 : wk.goalFrom;
                const bool fs = first;
                const double sx = bisect(l0, sEndSeg, true, [&](double m) {
                    return advance(s0, w0, m, 1, fs) - goalAt(m);
                });
                const double wx = advance(s0, w0, sx, 1, fs);
                if (sx > s0 + 1e-13 * wk.scale) {
                    if (!pushNode(sx, wx, -1)) return -1;
                } else {
                    wk.psg[wk.np - 1] = -1;
                }
                addSwitch(wk.np - 1, OPT_ACC_TO_BRAKE);
                for (int j = c + 1; j <= wk.nGrid; ++j) {
                    if (wk.grid[j] <= sx + 1e-13 * wk.scale) continue;
                    if (!pushNode(wk.grid[j], wk.goalW[j], -1)) return -1;
                }
                return 1;
            }
        }
        if (hit) {
            if (sEndSeg > s0 && !pushNode(sEndSeg, wEndSeg, 1)) return -1;
            *sHit = sEndSeg;
            return 0;
        }
        if (!pushNode(s1, w1, 1)) return -1;
        s0 = s1;
        w0 = w1;
        first = false;
    }
    return -1;
}

// The braking curve backwards from the switching point (sig, wSig) until it
// meets the profile. Returns 1 and splices it in, 0 when it leaves the
// admissible region first (the candidate is no switching point), -1 on failure.
int runBackward(double sig, double wSig)
{
    wk.nt = 0;
    wk.ts[0] = sig;
    wk.tw[0] = wSig;
    wk.nt = 1;
    const double sLast = wk.ps[wk.np - 1];
    int c = cellOf(sig);
    if (sig == wk.grid[c] && c > 0 && sig > 0.0) --c;  // start in the cell to the left
    double s1 = sig, w1 = wSig;
    bool first = true;
    int hint = wk.np - 1;
    for (int guard = 0; guard <= wk.nGrid + 1 && s1 > 0.0; ++guard) {
        double s0 = wk.grid[c];
        if (s0 >= s1) {
            if (c == 0) break;
            --c;
            continue;
        }
        double lo, hi;
        shrink(s0, s1, &lo, &hi);
        bool out = false;
        const double w0 = advance(s1, w1, s0, -1, first, &out);
        if (!std::isfinite(w0)) return -1;
        // Where the curve leaves the admissible region inside the cell, only the
        // part right of the exit counts; a crossing of the profile there still
        // ends the curve (the profile may run close under the limit).
        double sL = s0, wL = w0;
        const bool leaves = out || aboveLimit(w0, limitIn(s0, lo, hi));
        if (leaves) {
            const bool fs = first;
            double l = s0, r = s1;  // out at l, admissible at r
            for (int it = 0; it < BISECT_ITER && r - l > 1e-15 * wk.scale; ++it) {
                const double m = 0.5 * (l + r);
                bool outM = false;
                const double wm = advance(s1, w1, m, -1, fs, &outM);
                if (outM || aboveLimit(wm, limitIn(m, lo, hi)))
                    l = m;
                else
                    r = m;
            }
            sL = r;
            wL = advance(s1, w1, r, -1, fs);
        }
        // Compare with the profile where it exists (s <= its last node).
        if (sL <= sLast) {
            hint = profileNodeAt(sL, hint);
            const double p0 = profileAt(hint, sL);
            if (wL > p0) {
                // The braking curve, above the profile at s0 and not above it at
                // rr, meets it in between.
                const double rr = s1 < sLast ? s1 : sLast;
                const bool fs = first;
                const double sS1 = s1, wS1 = w1;
                auto diff = [&](double m) {
                    const int i = profileNodeAt(m, wk.np - 1);
                    return advance(sS1, wS1, m, -1, fs) - profileAt(i, m);
                };
                const double sx = diff(rr) > 0.0 ? rr : bisect(sL, rr, false, diff);
                // Splice: profile up to sx, then the braking curve up to sig.
                const int i = profileNodeAt(sx, wk.np - 1);
                const double wx = profileAt(i, sx);
                wk.np = i + 1;
                if (sx > wk.ps[i] + 1e-13 * wk.scale) {
                    if (!pushNode(sx, wx, -1)) return -1;
                } else {
                    wk.psg[i] = -1;
                }
                const int xNode = wk.np - 1;
                // Drop switches at or beyond the crossing.
                while (wk.nsw > 0 && wk.swNode[wk.nsw - 1] >= xNode &&
                       wk.ps[wk.swNode[wk.nsw - 1]] >= sx - 1e-13 * wk.scale)
                    --wk.nsw;
                const bool alongLimit = wk.nsw > 0 && wk.swKind[wk.nsw - 1] == OPT_BRAKE_TO_ACC &&
                                        sx - wk.ps[wk.swNode[wk.nsw - 1]] < 1e-7 * wk.scale;
                if (alongLimit)
                    wk.swKind[wk.nsw - 1] = OPT_ALONG_LIMIT;
                else
                    addSwitch(xNode, OPT_ACC_TO_BRAKE);
                for (int j = wk.nt - 1; j >= 0; --j) {
                    if (wk.ts[j] <= sx + 1e-13 * wk.scale) continue;
                    if (!pushNode(wk.ts[j], wk.tw[j], -1)) return -1;
                }
                return 1;
            }
        }
        if (leaves) return 0;
        if (wk.nt >= GRID_CAP + 2) return -1;
        wk.ts[wk.nt] = s0;
        wk.tw[wk.nt] = w0;
        ++wk.nt;
        s1 = s0;
        w1 = w0;
        first = false;
        if (c == 0) break;
        --c;
    }
    return -1;
}

// ---- Time ----

// Cubic through (0, w0) and (h, w1) with slopes d0, d1.
double hermite(double x, double h, double w0, double w1, double d0, double d1)
{
    const double t = x / h;
    const double t2 = t * t, t3 = t2 * t;
    return (2 * t3 - 3 * t2 + 1) * w0 + (t3 - 2 * t2 + t) * h * d0 + (-2 * t3 + 3 * t2) * w1 +
           (t3 - t2) * h * d1;
}

// Slopes dw/ds at both ends of profile cell i.
void cellSlopes(int i, double* d0, double* d1)
{
    double lo, hi, st;
    shrink(wk.ps[i], wk.ps[i + 1], &lo, &hi);
    *d0 = slopeW(lo, wk.pw[i], wk.psg[i], lo, hi, &st);
    *d1 = slopeW(hi, wk.pw[i + 1], wk.psg[i], lo, hi, &st);
}

// Quadrature of one piece [a, b] of a cell: Gauss-Legendre on each half after
// the substitution s = end +- (h/2) tau^2 (ds = h tau dtau), which keeps the
// integrand finite at an end at rest. w at the ten points is integrated along
// the curve from the end `fromLeft` names (a switching point when switchEnd).
double pieceTime(double a, double wa, double b, double wb, int sign, bool fromLeft, bool switchEnd)
{
    const double h = b - a;
    if (!(h > 0.0)) return 0.0;
    double off[10], wq[10];
    for (int k = 0; k < 5; ++k) {
        off[k] = 0.5 * h * GX[k] * GX[k];
        off[9 - k] = h - off[k];
    }
    if (fromLeft) {
        double s = a, w = wa;
        for (int k = 0; k < 10; ++k) {
            w = advance(s, w, a + off[k], sign, switchEnd && k == 0);
            s = a + off[k];
            wq[k] = w;
        }
    } else {
        double s = b, w = wb;
        for (int k = 9; k >= 0; --k) {
            w = advance(s, w, a + off[k], sign, switchEnd && k == 9);
            s = a + off[k];
            wq[k] = w;
        }
    }
    double T = 0.0;
    for (int k = 0; k < 5; ++k) {
        const double wl = wq[k], wr = wq[9 - k];
        if (!(wl > 0.0) || !(wr > 0.0)) return INF;
        T += GW[k] * h * GX[k] * (1.0 / std::sqrt(wl) + 1.0 / std::sqrt(wr));
    }
    return T;
}

// Adaptive halving of a piece until the two halves agree with the whole;
// bounded by depth and by a budget of pieces per solution.
double refinedTime(double a, double wa, double b, double wb, int sign, bool fromLeft, bool switchEnd,
                   double whole, int depth)
{
    const double m = 0.5 * (a + b);
    const double wm = fromLeft ? advance(a, wa, m, sign, switchEnd) : advance(b, wb, m, sign, switchEnd);
    const double tl = pieceTime(a, wa, m, wm, sign, fromLeft, fromLeft && switchEnd);
    const double tr = pieceTime(m, wm, b, wb, sign, fromLeft, !fromLeft && switchEnd);
    wk.pieceBudget -= 2;
    const double both = tl + tr;
    if (!std::isfinite(both)) return INF;
    if (depth >= REFINE_DEPTH || wk.pieceBudget <= 0 || std::fabs(both - whole) <= 1e-11 + 1e-10 * both)
        return both;
    return refinedTime(a, wa, m, wm, sign, fromLeft, fromLeft && switchEnd, tl, depth + 1) +
           refinedTime(m, wm, b, wb, sign, fromLeft, !fromLeft && switchEnd, tr, depth + 1);
}

// Does the cubic through the ends of cell i follow the curve? Its slope at the
// middle is compared with the slope the bounds give there; a change of the
// active bound inside the cell (a corner of d2s/dt2) shows up as a mismatch.
bool cubicFits(int i, double d0, double d1)
{
    const double h = wk.ps[i + 1] - wk.ps[i];
    const double w0 = wk.pw[i], w1 = wk.pw[i + 1];
    const double wm = hermite(0.5 * h, h, w0, w1, d0, d1);
    const double dm = 1.5 * (w1 - w0) / h - 0.25 * (d0 + d1);
    double lo, hi, st;
    shrink(wk.ps[i], wk.ps[i + 1], &lo, &hi);
    const double f = slopeW(0.5 * (wk.ps[i] + wk.ps[i + 1]), wm, wk.psg[i], lo, hi, &st);
    const double ref = std::fabs(d0) + std::fabs(d1) + std::fabs(w1 - w0) / h + 1e-12;
    return std::fabs(dm - f) <= 1e-4 * ref;
}

// Time to run through profile cell i, t = integral of ds / sqrt(w). Where the
// cubic through both ends (values and slopes) follows the curve, the quadrature
// uses it; next to a switching point on the limit curve (whose slope is 0/0 at
// a zero-inertia point) or where the active bound changes inside the cell, the
// curve itself is integrated to the quadrature points, halving until converged.
double cellTime(int i)
{
    const double s0 = wk.ps[i], s1 = wk.ps[i + 1];
    const double h = s1 - s0;
    wk.rough[i] = false;
    if (!(h > 0.0)) return 0.0;
    const double w0 = wk.pw[i], w1 = wk.pw[i + 1];
    const int sign = wk.psg[i];
    if (!wk.onLimit[i] && !wk.onLimit[i + 1]) {
        double d0, d1;
        cellSlopes(i, &d0, &d1);
        if (cubicFits(i, d0, d1)) {
            double T = 0.0;
            for (int k = 0; k < 5; ++k) {
                const double off = 0.5 * h * GX[k] * GX[k];
                const double wl = hermite(off, h, w0, w1, d0, d1);
                const double wr = hermite(h - off, h, w0, w1, d0, d1);
                if (!(wl > 0.0) || !(wr > 0.0)) return INF;
                T += GW[k] * h * GX[k] * (1.0 / std::sqrt(wl) + 1.0 / std::sqrt(wr));
            }
            return T;
        }
    }
    wk.rough[i] = true;
    // In the direction the curve was built: acceleration from the left end,
    // braking from the right end (the goal, a switching point or a node of the
    // braking curve), which is also the stable direction of each.
    const bool fromLeft = sign > 0;
    const bool switchEnd = fromLeft ? wk.onLimit[i] : wk.onLimit[i + 1];
    const double whole = pieceTime(s0, w0, s1, w1, sign, fromLeft, switchEnd);
    if (!std::isfinite(whole)) return INF;
    return refinedTime(s0, w0, s1, w1, sign, fromLeft, switchEnd, whole, 0);
}

// Time from the start of cell i to s inside it, and w at s (for optimumAt in
// a cell that the cubic does not follow).
double partialTime(int i, double s, double* ws)
{
    const double s0 = wk.ps[i], s1 = wk.ps[i + 1];
    const int sign = wk.psg[i];
    if (!(s > s0)) {
        *ws = wk.pw[i];
        return 0.0;
    }
    if (sign > 0) {
        *ws = advance(s0, wk.pw[i], s, sign, wk.onLimit[i]);
        return pieceTime(s0, wk.pw[i], s, *ws, sign, true, wk.onLimit[i]);
    }
    *ws = advance(s1, wk.pw[i + 1], s, sign, wk.onLimit[i + 1]);
    return (wk.pt[i + 1] - wk.pt[i]) - pieceTime(s, *ws, s1, wk.pw[i + 1], sign, false, wk.onLimit[i + 1]);
}

// ---- Output ----

void axisAccAt(double s, double w, int sign, double lo, double hi, double* ax, double* ay)
{
    const double sc = clampTo(s, lo, hi);
    Band b;
    bandAt(sc, w, &b);
    const double u = sign > 0 ? b.hi : b.lo;
    CurveDerivs d;
    cpDerivatives(sc, &d);
    *ax = d.x1 * u + d.x2 * w;
    *ay = d.y1 * u + d.y2 * w;
}

bool finish()
{
    OptimumResult& o = optimum;
    wk.pt[0] = 0.0;
    wk.pieceBudget = PIECE_BUDGET;
    for (int i = 0; i + 1 < wk.np; ++i) {
        const double dt = cellTime(i);
        if (!std::isfinite(dt)) return false;
        wk.pt[i + 1] = wk.pt[i] + dt;
    }
    o.tf = wk.pt[wk.np - 1];
    o.nProfile = wk.np - 1;
    for (int i = 0; i < wk.np; ++i) {
        o.profile[i][0] = wk.ps[i];
        o.profile[i][1] = std::sqrt(wk.pw[i] > 0.0 ? wk.pw[i] : 0.0);
        o.profile[i][2] = wk.pt[i];
    }
    if (wk.nsw > OPT_SWITCH_CAP) return false;
    o.nSwitch = wk.nsw;
    for (int k = 0; k < wk.nsw; ++k) {
        const int i = wk.swNode[k];
        OptSwitch& sw = o.sw[k];
        sw.t = wk.pt[i];
        sw.s = wk.ps[i];
        sw.v = o.profile[i][1];
        sw.kind = wk.swKind[k];
        double lo = wk.ps[i], hi = wk.ps[i];
        if (i + 1 < wk.np) shrink(wk.ps[i], wk.ps[i + 1], &lo, &hi);
        if (wk.onLimit[i] && i + 1 < wk.np) {
            // On the limit curve the bounds at the switching point itself may
            // be 0/0 (a zero-inertia point): take the motion a little later.
            double d = 1e-6 * wk.scale;
            if (d > 0.5 * (wk.ps[i + 1] - wk.ps[i])) d = 0.5 * (wk.ps[i + 1] - wk.ps[i]);
            const double w = advance(wk.ps[i], wk.pw[i], wk.ps[i] + d, wk.psg[i], true);
            axisAccAt(wk.ps[i] + d, w, wk.psg[i], lo, hi, &sw.ax, &sw.ay);
        } else {
            axisAccAt(wk.ps[i], wk.pw[i], wk.psg[i], lo, hi, &sw.ax, &sw.ay);
        }
    }
    return std::isfinite(o.tf) && o.tf > 0.0;
}

bool solve()
{
    const SimState& g = sim;
    if (g.cpType < CP_ARC || g.cpType > CP_CAM_CYCLOID) return false;
    if (!(g.xamax > 0.0) || !(g.yamax > 0.0) || !std::isfinite(g.xamax) || !std::isfinite(g.yamax))
        return false;
    wk.sEnd = g.sEnd[g.cpType];
    if (!(wk.sEnd > 0.0) || !std::isfinite(wk.sEnd)) return false;
    wk.scale = wk.sEnd > 1.0 ? wk.sEnd : 1.0;
    wk.edge = 1e-12 * wk.scale;
    wk.nBrk = 0;
    addPieceJoins();
    addZeroInertiaPoints();
    sortBreaks();
    makeGrid();
    if (!makeGoalCurve()) return false;

    wk.np = 0;
    wk.nsw = 0;
    pushNode(0.0, 0.0, 1);
    bool fromSwitch = false;
    for (int round = 0; round <= OPT_SWITCH_CAP; ++round) {
        double sHit = 0.0;
        const int f = runForward(fromSwitch, &sHit);
        if (f < 0) return false;
        if (f == 1) return finish();
        // On the limit at sHit: the next switching point from which braking
        // backwards meets the profile.
        double after = -1.0;
        bool spliced = false;
        for (int tries = 0; tries < SIGMA_TRIES && !spliced; ++tries) {
            double sig, wSig;
            bool atBreak;
            if (!nextSwitchingPoint(sHit, after, &sig, &wSig, &atBreak)) return false;
            const int b = runBackward(sig, wSig);
            if (b < 0) return false;
            if (b == 1) {
                spliced = true;
                addSwitch(wk.np - 1, OPT_BRAKE_TO_ACC);
                wk.onLimit[wk.np - 1] = true;
            } else {
                after = sig;
            }
        }
        if (!spliced) return false;
        fromSwitch = true;
    }
    return false;
}

}  // namespace

bool computeOptimum()
{
    OptimumResult& o = optimum;
    o.ok = false;
    o.tf = 0.0;
    o.nProfile = 0;
    o.nSwitch = 0;
    o.ok = solve();
    if (!o.ok) {
        o.tf = 0.0;
        o.nProfile = 0;
        o.nSwitch = 0;
        wk.np = 0;
    }
    return o.ok;
}

void optimumAt(double t, double out[6])
{
    for (int k = 0; k < 6; ++k) out[k] = 0.0;
    if (!optimum.ok || wk.np < 2) return;
    if (!(t > 0.0)) t = 0.0;  // also a NaN time
    if (t > optimum.tf) t = optimum.tf;
    int l = 0, r = wk.np - 1;
    while (r - l > 1) {
        const int m = (l + r) / 2;
        if (wk.pt[m] <= t)
            l = m;
        else
            r = m;
    }
    const double s0 = wk.ps[l], s1 = wk.ps[l + 1];
    const double h = s1 - s0;
    const double T = wk.pt[l + 1] - wk.pt[l];
    double s = s0, w = wk.pw[l];
    double lo = s0, hi = s1;
    if (h > 0.0 && T > 0.0 && !wk.rough[l]) {
        // Constant acceleration through the cell, in the cell's own time; w from the cubic.
        const double v0 = std::sqrt(wk.pw[l] > 0 ? wk.pw[l] : 0.0);
        const double v1 = std::sqrt(wk.pw[l + 1] > 0 ? wk.pw[l + 1] : 0.0);
        const double tLin = (v0 + v1) > 0.0 ? 2.0 * h / (v0 + v1) : T;
        const double tau = (t - wk.pt[l]) * tLin / T;
        const double a = tLin > 0.0 ? (v1 - v0) / tLin : 0.0;
        s = clampTo(s0 + v0 * tau + 0.5 * a * tau * tau, s0, s1);
        double d0, d1;
        cellSlopes(l, &d0, &d1);
        w = hermite(s - s0, h, wk.pw[l], wk.pw[l + 1], d0, d1);
        shrink(s0, s1, &lo, &hi);
    } else if (h > 0.0 && T > 0.0) {
        // The curve itself: s from the time since the cell's start by Newton
        // steps (dt/ds = 1/sqrt(w)), kept inside a bisection bracket.
        const double target = t - wk.pt[l];
        double a = s0, b = s1;
        s = s0 + h * (target / T);
        for (int it = 0; it < BISECT_ITER; ++it) {
            double ws;
            const double err = partialTime(l, s, &ws) - target;
            if (err < 0.0)
                a = s;
            else
                b = s;
            if (std::fabs(err) <= 1e-12 * (1.0 + t) || b - a <= 1e-14 * wk.scale) break;
            double next = s - err * std::sqrt(ws > 0.0 ? ws : 0.0);
            if (!(next > a && next < b)) next = 0.5 * (a + b);
            s = next;
        }
        partialTime(l, s, &w);
        shrink(s0, s1, &lo, &hi);
    }
    if (!(w > 0.0)) w = 0.0;
    double P[2];
    cpPoint(s, P);
    double ax, ay;
    axisAccAt(s, w, wk.psg[l], lo, hi, &ax, &ay);
    out[0] = s;
    out[1] = std::sqrt(w);
    out[2] = P[0];
    out[3] = P[1];
    out[4] = ax;
    out[5] = ay;
}

// The time along the optimal profile: t(s) = integral of ds / sqrt(w) per cell,
// by Gauss-Legendre quadrature after the substitution s = end +- (h/2) tau^2 from
// each end, which removes the 1/sqrt singularity of a cell that starts or ends
// at rest. Inside a cell w is the cubic through its ends (values and slopes)
// where that cubic follows the curve; next to a switching point on the limit
// curve, or where the active bound changes inside the cell, the curve itself is
// integrated to the quadrature points, halving the cell until the time settles.
#include <cmath>

#include "planner/optimum_work.h"

namespace optimum_detail {

namespace {

// Five-point Gauss-Legendre nodes and weights on [0, 1].
constexpr double GAUSS_X[5] = {0.046910077030668, 0.230765344947158, 0.5, 0.769234655052842, 0.953089922969332};
constexpr double GAUSS_W[5] = {0.118463442528095, 0.239314335249683, 0.284444444444444, 0.239314335249683,
                               0.118463442528095};

// Quadrature of one piece [a, b] of a cell: Gauss-Legendre on each half after
// the substitution s = end +- (h/2) tau^2 (ds = h tau dtau), which keeps the
// integrand finite at an end at rest. A piece with one end at rest, where w
// grows about linearly from zero, takes s = that end +- h tau^2 over the whole
// piece instead (two Gauss-Legendre halves in tau), under which the integrand
// is close to constant. w at the ten points is integrated along the curve from
// the end `from` names (its first step off a switching point when `start` says so).
double pieceTime(double a, double wa, double b, double wb, Extreme e, BuiltFrom from, CurveStart start)
{
    const double h = b - a;
    if (!(h > 0.0)) return 0.0;
    double off[10], weight[10], wq[10];
    const bool restLeft = !(wa > 0.0) && wb > 0.0, restRight = wa > 0.0 && !(wb > 0.0);
    for (int k = 0; k < 5; ++k) {
        if (restLeft || restRight) {
            const double tau[2] = {0.5 * GAUSS_X[k], 0.5 + 0.5 * GAUSS_X[k]};
            for (int half = 0; half < 2; ++half) {
                const int j = half * 5 + k;  // ascending in tau
                const double d = h * tau[half] * tau[half], wt = GAUSS_W[k] * h * tau[half];
                off[restLeft ? j : 9 - j] = restLeft ? d : h - d;
                weight[restLeft ? j : 9 - j] = wt;
            }
        } else {
            off[k] = 0.5 * h * GAUSS_X[k] * GAUSS_X[k];
            off[9 - k] = h - off[k];
            weight[k] = weight[9 - k] = GAUSS_W[k] * h * GAUSS_X[k];
        }
    }
    if (from == BuiltFrom::LEFT) {
        double s = a, w = wa;
        for (int k = 0; k < 10; ++k) {
            w = integrateCurve(s, w, a + off[k], e, k == 0 ? start : CurveStart::REGULAR);
            s = a + off[k];
            wq[k] = w;
        }
    } else {
        double s = b, w = wb;
        for (int k = 9; k >= 0; --k) {
            w = integrateCurve(s, w, a + off[k], e, k == 9 ? start : CurveStart::REGULAR);
            s = a + off[k];
            wq[k] = w;
        }
    }
    double T = 0.0;
    for (int k = 0; k < 10; ++k) {
        if (!(wq[k] > 0.0)) return INF;
        T += weight[k] / std::sqrt(wq[k]);
    }
    return T;
}

// Adaptive halving of a piece until the two halves agree with the whole within
// `tol` (a part of the time of the piece first asked for, the same for every
// smaller piece); bounded by depth and by a budget of pieces per solution. `start` belongs to
// the end the curve is integrated from.
double refinedTime(double a, double wa, double b, double wb, Extreme e, BuiltFrom from, CurveStart start,
                   double whole, int depth, double tol)
{
    const bool fromLeft = from == BuiltFrom::LEFT;
    const double m = 0.5 * (a + b);
    const double wm = fromLeft ? integrateCurve(a, wa, m, e, start) : integrateCurve(b, wb, m, e, start);
    // The half at the far end starts regularly at the middle.
    const CurveStart leftStart = fromLeft ? start : CurveStart::REGULAR;
    const CurveStart rightStart = fromLeft ? CurveStart::REGULAR : start;
    const double tl = pieceTime(a, wa, m, wm, e, from, leftStart);
    const double tr = pieceTime(m, wm, b, wb, e, from, rightStart);
    work.pieceBudget -= 2;
    const double both = tl + tr;
    if (!std::isfinite(both)) return INF;
    if (depth >= REFINE_DEPTH || work.pieceBudget <= 0 || std::fabs(both - whole) <= tol) return both;
    return refinedTime(a, wa, m, wm, e, from, leftStart, tl, depth + 1, tol) +
           refinedTime(m, wm, b, wb, e, from, rightStart, tr, depth + 1, tol);
}

// The time along the curve over [a, b], refined until it settles.
double curveTime(double a, double wa, double b, double wb, Extreme e, BuiltFrom from, CurveStart start)
{
    const double whole = pieceTime(a, wa, b, wb, e, from, start);
    if (!std::isfinite(whole)) return INF;
    return refinedTime(a, wa, b, wb, e, from, start, whole, 0, TIME_SETTLED_ABS + TIME_SETTLED_REL * whole);
}

// Does the cubic through the ends of cell i follow the curve? Its slope at the
// middle is compared with the slope the bounds give there; a change of the
// active bound inside the cell (a corner of d2s/dt2) shows up as a mismatch.
bool cubicFits(int i, double d0, double d1)
{
    const double h = work.nodeS[i + 1] - work.nodeS[i];
    const double w0 = work.nodeW[i], w1 = work.nodeW[i + 1];
    const double wm = hermite(0.5 * h, h, w0, w1, d0, d1);
    const double dm = 1.5 * (w1 - w0) / h - 0.25 * (d0 + d1);
    double lo, hi, st;
    innerRange(work.nodeS[i], work.nodeS[i + 1], &lo, &hi);
    const double f = slopeW(0.5 * (work.nodeS[i] + work.nodeS[i + 1]), wm, work.nodeBound[i], lo, hi, &st);
    const double ref = std::fabs(d0) + std::fabs(d1) + std::fabs(w1 - w0) / h + CUBIC_FIT_ABS;
    return std::fabs(dm - f) <= CUBIC_FIT_REL * ref;
}

// The end a cell's curve was built from: acceleration from the left end,
// braking from the right end (the goal, a switching point or a node of the
// braking curve), which is also the stable direction of each; and how the
// curve leaves that end.
BuiltFrom builtFrom(int i) { return work.nodeBound[i] == ACCELERATING ? BuiltFrom::LEFT : BuiltFrom::RIGHT; }

CurveStart startOf(int node) { return work.nodeOnLimit[node] ? CurveStart::AT_SWITCH : CurveStart::REGULAR; }

// Time to run through profile cell i, t = integral of ds / sqrt(w). Where the
// cubic through both ends (values and slopes) follows the curve, the quadrature
// uses it; next to a switching point on the limit curve (whose slope is 0/0 at
// a zero-inertia point), at rest, or where the active bound changes inside the cell, the
// curve itself is integrated to the quadrature points, halving until converged.
double cellTime(int i)
{
    const double s0 = work.nodeS[i], s1 = work.nodeS[i + 1];
    const double h = s1 - s0;
    work.cellRough[i] = false;
    if (!(h > 0.0)) return 0.0;
    const double w0 = work.nodeW[i], w1 = work.nodeW[i + 1];
    // A cell that starts or ends at rest is integrated along the curve too:
    // there w is close to linear in s and the cubic's small errors in w would
    // become large ones in ds/dt = sqrt(w) when the motion is sampled in time.
    if (!work.nodeOnLimit[i] && !work.nodeOnLimit[i + 1] && w0 > 0.0 && w1 > 0.0) {
        double d0, d1;
        cellSlopes(i, &d0, &d1);
        if (cubicFits(i, d0, d1)) return cubicTime(i, s0, s1, d0, d1);
    }
    work.cellRough[i] = true;
    const BuiltFrom from = builtFrom(i);
    const CurveStart start = startOf(from == BuiltFrom::LEFT ? i : i + 1);
    return curveTime(s0, w0, s1, w1, work.nodeBound[i], from, start);
}

}  // namespace

double hermite(double x, double h, double w0, double w1, double d0, double d1)
{
    const double t = x / h;
    const double t2 = t * t, t3 = t2 * t;
    return (2 * t3 - 3 * t2 + 1) * w0 + (t3 - 2 * t2 + t) * h * d0 + (-2 * t3 + 3 * t2) * w1 +
           (t3 - t2) * h * d1;
}

void cellSlopes(int i, double* d0, double* d1)
{
    double lo, hi, st;
    innerRange(work.nodeS[i], work.nodeS[i + 1], &lo, &hi);
    *d0 = slopeW(lo, work.nodeW[i], work.nodeBound[i], lo, hi, &st);
    *d1 = slopeW(hi, work.nodeW[i + 1], work.nodeBound[i], lo, hi, &st);
}

bool timeProfile()
{
    work.nodeT[0] = 0.0;
    work.pieceBudget = PIECE_BUDGET;
    for (int i = 0; i + 1 < work.nNodes; ++i) {
        const double dt = cellTime(i);
        if (!std::isfinite(dt)) return fail(OPT_NOT_A_NUMBER);
        work.nodeT[i + 1] = work.nodeT[i] + dt;
    }
    return true;
}

// The same refined quadrature as the cell's own time, from the end the curve
// was built from: at both ends of the cell it gives 0 and the cell's time
// exactly, so that the motion sampled in time does not jump between cells.
double cubicTime(int i, double a, double b, double d0, double d1)
{
    const double s0 = work.nodeS[i], h = work.nodeS[i + 1] - s0;
    const double w0 = work.nodeW[i], w1 = work.nodeW[i + 1];
    const double p = b - a;
    if (!(p > 0.0)) return 0.0;
    double T = 0.0;
    for (int k = 0; k < 5; ++k) {
        const double off = 0.5 * p * GAUSS_X[k] * GAUSS_X[k];
        const double wl = hermite(a - s0 + off, h, w0, w1, d0, d1);
        const double wr = hermite(b - s0 - off, h, w0, w1, d0, d1);
        if (!(wl > 0.0) || !(wr > 0.0)) return INF;
        T += GAUSS_W[k] * p * GAUSS_X[k] * (1.0 / std::sqrt(wl) + 1.0 / std::sqrt(wr));
    }
    return T;
}

double partialTime(int i, double s, double* ws)
{
    const double s0 = work.nodeS[i], s1 = work.nodeS[i + 1];
    const Extreme e = work.nodeBound[i];
    const double T = work.nodeT[i + 1] - work.nodeT[i];
    if (!(s > s0)) {
        *ws = work.nodeW[i];
        return 0.0;
    }
    if (!(s < s1)) {
        *ws = work.nodeW[i + 1];
        return T;
    }
    work.pieceBudget = PIECE_BUDGET;
    if (e == ACCELERATING) {
        *ws = integrateCurve(s0, work.nodeW[i], s, e, startOf(i));
        return curveTime(s0, work.nodeW[i], s, *ws, e, BuiltFrom::LEFT, startOf(i));
    }
    *ws = integrateCurve(s1, work.nodeW[i + 1], s, e, startOf(i + 1));
    return T - curveTime(s, *ws, s1, work.nodeW[i + 1], e, BuiltFrom::RIGHT, startOf(i + 1));
}

}  // namespace optimum_detail

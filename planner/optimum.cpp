// The exact minimum-time motion along the current path: the solve in its steps
// (grid, profile, time) and the result, its switching list and its sampling in
// time. Reads the path and limits of `sim`; writes `optimum` and the solver's
// working tables (optimum_work.h), which optimumAt reads.
#include "planner/optimum.h"

#include <cmath>

#include "core/state.h"
#include "path/curves.h"
#include "planner/optimum_work.h"

OptimumResult optimum;

namespace optimum_detail {

OptimumWork work;

namespace {

// The profile, its times and its switching points into `optimum`.
bool publish()
{
    OptimumResult& o = optimum;
    o.tf = work.nodeT[work.nNodes - 1];
    o.nProfile = work.nNodes - 1;
    for (int i = 0; i < work.nNodes; ++i) {
        o.profile[i][0] = work.nodeS[i];
        o.profile[i][1] = std::sqrt(work.nodeW[i] > 0.0 ? work.nodeW[i] : 0.0);
        o.profile[i][2] = work.nodeT[i];
    }
    if (work.nSwitches > OPT_SWITCH_CAP) return fail(OPT_SWITCHES_FULL);
    o.nSwitch = work.nSwitches;
    for (int k = 0; k < work.nSwitches; ++k) {
        const int i = work.switchNode[k];
        OptSwitch& sw = o.sw[k];
        sw.t = work.nodeT[i];
        sw.s = work.nodeS[i];
        sw.v = o.profile[i][1];
        sw.kind = work.switchKind[k];
        double lo = work.nodeS[i], hi = work.nodeS[i];
        if (i + 1 < work.nNodes) innerRange(work.nodeS[i], work.nodeS[i + 1], &lo, &hi);
        if (work.nodeOnLimit[i] && i + 1 < work.nNodes) {
            // On the limit curve the bounds at the switching point itself may
            // be 0/0 (a zero-inertia point): take the motion a little later.
            double d = SWITCH_ACC_STEP * work.scale;
            if (d > 0.5 * (work.nodeS[i + 1] - work.nodeS[i])) d = 0.5 * (work.nodeS[i + 1] - work.nodeS[i]);
            const double w = integrateCurve(work.nodeS[i], work.nodeW[i], work.nodeS[i] + d, work.nodeBound[i],
                                            CurveStart::AT_SWITCH);
            axisAccAt(work.nodeS[i] + d, w, work.nodeBound[i], lo, hi, &sw.ax, &sw.ay);
        } else {
            axisAccAt(work.nodeS[i], work.nodeW[i], work.nodeBound[i], lo, hi, &sw.ax, &sw.ay);
        }
    }
    if (!(std::isfinite(o.tf) && o.tf > 0.0)) return fail(OPT_NOT_A_NUMBER);
    return true;
}

bool solve()
{
    const SimState& g = sim;
    work.failure = OPT_OK;
    if (g.cpType < CP_ARC || g.cpType > CP_CAM_CYCLOID) return fail(OPT_NO_PATH);
    if (!(g.xamax > 0.0) || !(g.yamax > 0.0) || !std::isfinite(g.xamax) || !std::isfinite(g.yamax))
        return fail(OPT_NO_PATH);
    work.sEnd = g.sEnd[g.cpType];
    if (!(work.sEnd > 0.0) || !std::isfinite(work.sEnd)) return fail(OPT_NO_PATH);
    work.scale = work.sEnd > 1.0 ? work.sEnd : 1.0;
    work.edge = EDGE * work.scale;
    // A failure anywhere, also one inside a search that went on, fails the solve.
    return makeGrid() && buildProfile() && timeProfile() && work.failure == OPT_OK && publish() &&
           work.failure == OPT_OK;
}

// s and w at time t inside profile cell l (nodeT[l] <= t <= nodeT[l+1]); the
// range of the cell where its derivatives are taken.
void sampleCell(int l, double t, double* s, double* w, double* lo, double* hi)
{
    const double s0 = work.nodeS[l], s1 = work.nodeS[l + 1];
    const double h = s1 - s0;
    const double T = work.nodeT[l + 1] - work.nodeT[l];
    *s = s0;
    *w = work.nodeW[l];
    *lo = s0;
    *hi = s1;
    if (!(h > 0.0 && T > 0.0)) return;
    innerRange(s0, s1, lo, hi);
    if (!work.cellRough[l]) {
        // The cubic through the cell's ends: s where its time from the start
        // is the time sought, by Newton steps (dt/ds = 1/sqrt(w)) inside a
        // bisection bracket; the same quadrature gives the whole cell's time,
        // so s(t) meets the next cell where it starts.
        double d0, d1;
        cellSlopes(l, &d0, &d1);
        const double target = t - work.nodeT[l];
        double a = s0, b = s1, x = s0 + h * (target / T);
        for (int it = 0; it < NEWTON_CAP; ++it) {
            const double err = cubicTime(l, s0, x, d0, d1) - target;
            if (!std::isfinite(err)) break;
            if (err < 0.0)
                a = x;
            else
                b = x;
            const double wx = hermite(x - s0, h, work.nodeW[l], work.nodeW[l + 1], d0, d1);
            if (std::fabs(err) <= SAMPLE_TIME_REL * (1.0 + t) || b - a <= SAMPLE_WIDTH * work.scale) break;
            double next = x - err * std::sqrt(wx > 0.0 ? wx : 0.0);
            if (!(next > a && next < b)) next = 0.5 * (a + b);
            x = next;
        }
        *s = x;
        *w = hermite(x - s0, h, work.nodeW[l], work.nodeW[l + 1], d0, d1);
        return;
    }
    // The curve itself: s from the time since the cell's start by Newton
    // steps (dt/ds = 1/sqrt(w)), kept inside a bisection bracket.
    const double target = t - work.nodeT[l];
    double a = s0, b = s1;
    double x = s0 + h * (target / T);
    for (int it = 0; it < NEWTON_CAP; ++it) {
        double wx;
        const double err = partialTime(l, x, &wx) - target;
        if (!std::isfinite(err)) {
            // Within rounding of an end at rest the quadrature has no finite
            // value: that end lies beyond the time sought.
            if (work.nodeBound[l] == ACCELERATING)
                a = x;
            else
                b = x;
            x = 0.5 * (a + b);
            continue;
        }
        if (err < 0.0)
            a = x;
        else
            b = x;
        if (std::fabs(err) <= SAMPLE_TIME_REL * (1.0 + t) || b - a <= SAMPLE_WIDTH * work.scale) break;
        double next = x - err * std::sqrt(wx > 0.0 ? wx : 0.0);
        if (!(next > a && next < b)) next = 0.5 * (a + b);
        x = next;
    }
    *s = x;
    partialTime(l, x, w);
}

}  // namespace

}  // namespace optimum_detail

using namespace optimum_detail;

bool computeOptimum()
{
    OptimumResult& o = optimum;
    o.ok = false;
    o.tf = 0.0;
    o.nProfile = 0;
    o.nSwitch = 0;
    o.ok = solve();
    o.failure = o.ok ? OPT_OK : work.failure;
    if (!o.ok) {
        o.tf = 0.0;
        o.nProfile = 0;
        o.nSwitch = 0;
        work.nNodes = 0;
    }
    return o.ok;
}

OptimumPoint optimumAt(double t)
{
    OptimumPoint p;
    if (!optimum.ok || work.nNodes < 2) return p;
    if (!(t > 0.0)) t = 0.0;  // also a NaN time
    if (t > optimum.tf) t = optimum.tf;
    int l = 0, r = work.nNodes - 1;
    while (r - l > 1) {
        const int m = (l + r) / 2;
        if (work.nodeT[m] <= t)
            l = m;
        else
            r = m;
    }
    double s, w, lo, hi;
    sampleCell(l, t, &s, &w, &lo, &hi);
    if (!(w > 0.0)) w = 0.0;
    double P[2];
    cpPoint(s, P);
    p.s = s;
    p.v = std::sqrt(w);
    p.x = P[0];
    p.y = P[1];
    axisAccAt(s, w, work.nodeBound[l], lo, hi, &p.ax, &p.ay);
    return p;
}

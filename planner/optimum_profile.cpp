// The optimal profile w(s) by the phase-plane method with switching points on
// the velocity limit curve.
//
// The acceleration curve runs forward from rest at the start until it crosses
// the braking curve into rest at the goal, or reaches the velocity limit
// w_lim(s) (where the two bands just touch). In the second case the next
// switching point on the limit curve is the first s beyond where the limit
// stops being a barrier for the motion: where the slope of the limit curve rises
// from below to above the slope 2u* that the only admissible acceleration u*
// on it gives (a tangent point), or a join or zero-inertia point where it jumps
// that way. From there the braking curve runs backwards until it meets the
// curve built so far (a switch from acceleration to braking) and the
// acceleration curve forwards (a switch from braking to acceleration); repeat.
#include <cmath>

#include "planner/optimum_work.h"

namespace optimum_detail {

namespace {

bool pushNode(double s, double w, Extreme e)
{
    if (work.nNodes >= NODE_CAP) return fail(OPT_NODES_FULL);
    work.nodeS[work.nNodes] = s;
    work.nodeW[work.nNodes] = w;
    work.nodeBound[work.nNodes] = e;
    work.nodeOnLimit[work.nNodes] = false;
    ++work.nNodes;
    return true;
}

// Profile node index at grid node s (the profile holds every grid node it spans),
// searching downwards from hint.
int profileNodeAt(double s, int hint)
{
    int i = hint < work.nNodes ? hint : work.nNodes - 1;
    while (i > 0 && work.nodeS[i] > s) --i;
    return i;
}

// Profile value at s inside its cell starting at node i.
double profileAt(int i, double s)
{
    if (s == work.nodeS[i]) return work.nodeW[i];
    return integrateCurve(work.nodeS[i], work.nodeW[i], s, work.nodeBound[i]);
}

// Goal braking curve at s >= goalFrom.
double goalAt(double s)
{
    const int c = cellOf(s);
    if (s == work.grid[c + 1]) return work.goalW[c + 1];
    return integrateCurve(work.grid[c + 1], work.goalW[c + 1], s, BRAKING);
}

// Braking curve into rest at the goal, backwards over the grid until it leaves
// the admissible region (then goalFrom marks where).
bool makeGoalCurve()
{
    for (int i = 0; i <= work.gridLast; ++i) work.goalW[i] = INF;
    work.goalW[work.gridLast] = 0.0;
    work.goalFrom = 0.0;
    for (int i = work.gridLast - 1; i >= 0; --i) {
        const double s1 = work.grid[i + 1], w1 = work.goalW[i + 1];
        const double s0 = work.grid[i];
        double lo, hi;
        innerRange(s0, s1, &lo, &hi);
        bool out = false;
        const double w0 = integrateCurve(s1, w1, s0, BRAKING, CurveStart::REGULAR, &out);
        if (!std::isfinite(w0)) return false;
        if (aboveLimit(w1, limitIn(s1, lo, hi))) {  // already above at this cell's right end
            work.goalFrom = s1;
            work.goalFromW = w1;
            return true;
        }
        if (out || aboveLimit(w0, limitIn(s0, lo, hi))) {
            work.goalFrom = lastAdmissible(s1, w1, s0, BRAKING, CurveStart::REGULAR, lo, hi);
            work.goalFromW = integrateCurve(s1, w1, work.goalFrom, BRAKING);
            return true;
        }
        work.goalW[i] = w0;
    }
    work.goalFromW = work.goalW[0];
    return true;
}

// ---- Switching points on the limit curve ----

// Slope of the limit curve minus the slope 2u* of the motion on it, at s inside
// the smooth piece [lo, hi]. Negative: the limit curve is a barrier (motion on
// it would leave it upwards going forward). NAN where there is no finite limit.
double barrierSlope(double s, double lo, double hi)
{
    s = clampTo(s, lo, hi);
    const double d = SLOPE_STEP * work.scale;
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
    if (i <= 0 || i >= work.gridLast) return false;
    const double b = work.grid[i];
    double loL, hiL, loR, hiR;
    innerRange(work.grid[i - 1], b, &loL, &hiL);
    innerRange(b, work.grid[i + 1], &loR, &hiR);
    const double wL = limitW(hiL), wR = limitW(loR);
    const double ws = wL < wR ? wL : wR;
    if (!std::isfinite(ws)) return false;
    const double side = BREAK_SIDE * work.scale;
    const bool leftOk = wL > ws * (1.0 + BREAK_JUMP_REL) || !(barrierSlope(b - side, loL, hiL) > 0.0);
    const bool rightOk = wR > ws * (1.0 + BREAK_JUMP_REL) || !(barrierSlope(b + side, loR, hiR) < 0.0);
    if (!(leftOk && rightOk)) return false;
    *w = ws;
    return true;
}

// First switching point at or after sFrom (strictly after sAfter). False when
// none; a slope difference that is exactly zero where the scan of a cell starts
// (not carried over from the cell before) is a switching point there.
bool nextSwitchingPoint(double sFrom, double sAfter, double* sig, double* wSig)
{
    const double tol = CANDIDATE_GAP * work.scale;
    double gCarry = NAN;  // the previous cell's right-end value, valid at a node that is no break
    bool carry = false;
    for (int c = cellOf(sFrom); c < work.gridLast; ++c) {
        const double a0 = work.grid[c], b0 = work.grid[c + 1];
        const bool carried = carry && !work.gridIsBreak[c];
        carry = false;
        if (work.gridIsBreak[c] && a0 >= sFrom - tol && a0 > sAfter + tol) {
            double w;
            if (breakSwitches(c, &w)) {
                *sig = a0;
                *wSig = w;
                return true;
            }
        }
        double lo, hi;
        innerRange(a0, b0, &lo, &hi);
        double a = a0 > sFrom ? a0 : sFrom;
        if (a < sAfter + tol) a = sAfter + tol;
        if (!(a < b0)) continue;
        const double ga = (carried && a == a0) ? gCarry : barrierSlope(a, lo, hi);
        const double gb = barrierSlope(b0, lo, hi);
        gCarry = gb;
        carry = true;
        if (ga == 0.0 && !(carried && a == a0)) {
            *sig = a;
            *wSig = limitW(a);
            return std::isfinite(*wSig);
        }
        if (!(ga < 0.0 && gb >= 0.0)) continue;
        const Bracket br = findChange(a < lo ? lo : a, hi, rootWidth(),
                                      [&](double m) { return barrierSlope(m, lo, hi) < 0.0 ? -1 : 1; });
        *sig = br.middle();
        *wSig = limitW(*sig);
        return std::isfinite(*wSig);
    }
    return false;
}

// ---- Building the profile ----

void addSwitch(int node, int kind)
{
    if (work.nSwitches < OPT_SWITCH_CAP) {
        work.switchNode[work.nSwitches] = node;
        work.switchKind[work.nSwitches] = kind;
    }
    ++work.nSwitches;  // counted beyond the table, so that an overflow is seen
}

// The acceleration curve from the last profile node. Returns 1 when it has met
// the goal curve (the profile is then complete), 0 when it has reached the limit
// at *sHit (last node), -1 on failure.
int runForward(CurveStart start, double* sHit)
{
    const int startNode = work.nNodes - 1;
    double s0 = work.nodeS[startNode], w0 = work.nodeW[startNode];
    work.nodeBound[startNode] = ACCELERATING;
    int c = cellOf(s0);
    if (s0 >= work.sEnd) {
        fail(OPT_NO_CONTINUATION);
        return -1;
    }
    for (; c < work.gridLast; ++c) {
        const double s1 = work.grid[c + 1];
        double lo, hi;
        innerRange(s0, s1, &lo, &hi);
        // Already above the limit at the start of the cell (a downward jump of the limit).
        if (aboveLimit(w0, limitIn(s0, lo, hi))) {
            *sHit = s0;
            return 0;
        }
        bool out = false;
        const double w1 = integrateCurve(s0, w0, s1, ACCELERATING, start, &out);
        if (!std::isfinite(w1)) return -1;
        double sEndSeg = s1, wEndSeg = w1;
        bool hit = false;
        if (out) {  // integrateCurve has checked every sub-step's end, s1 included
            sEndSeg = lastAdmissible(s0, w0, s1, ACCELERATING, start, lo, hi);
            wEndSeg = integrateCurve(s0, w0, sEndSeg, ACCELERATING, start);
            hit = true;
        }
        // The goal curve, where it is defined, ends the acceleration.
        if (sEndSeg >= work.goalFrom) {
            const double gEnd = sEndSeg == s1 ? work.goalW[c + 1] : goalAt(sEndSeg);
            if (wEndSeg >= gEnd) {
                const double l0 = s0 > work.goalFrom ? s0 : work.goalFrom;
                const Bracket br = findChange(l0, sEndSeg, rootWidth(), [&](double m) {
                    return integrateCurve(s0, w0, m, ACCELERATING, start) - goalAt(m) < 0.0 ? -1 : 1;
                });
                const double sx = br.middle();
                const double wx = integrateCurve(s0, w0, sx, ACCELERATING, start);
                if (sx > s0 + SAME_NODE * work.scale) {
                    if (!pushNode(sx, wx, BRAKING)) return -1;
                } else {
                    work.nodeBound[work.nNodes - 1] = BRAKING;
                }
                addSwitch(work.nNodes - 1, OPT_ACC_TO_BRAKE);
                for (int j = c + 1; j <= work.gridLast; ++j) {
                    if (work.grid[j] <= sx + SAME_NODE * work.scale) continue;
                    if (!pushNode(work.grid[j], work.goalW[j], BRAKING)) return -1;
                }
                return 1;
            }
        }
        if (hit) {
            if (sEndSeg > s0 && !pushNode(sEndSeg, wEndSeg, ACCELERATING)) return -1;
            *sHit = sEndSeg;
            return 0;
        }
        if (!pushNode(s1, w1, ACCELERATING)) return -1;
        s0 = s1;
        w0 = w1;
        start = CurveStart::REGULAR;
    }
    fail(OPT_NO_CONTINUATION);  // the goal curve not met before the end of the path
    return -1;
}

// Splices the braking curve that meets the profile at sx: the profile up to sx,
// then the braking curve's nodes up to its switching point. False when the
// node table would overflow.
bool spliceBraking(double sx)
{
    const int i = profileNodeAt(sx, work.nNodes - 1);
    const double wx = profileAt(i, sx);
    work.nNodes = i + 1;
    if (sx > work.nodeS[i] + SAME_NODE * work.scale) {
        if (!pushNode(sx, wx, BRAKING)) return false;
    } else {
        work.nodeBound[i] = BRAKING;
    }
    const int xNode = work.nNodes - 1;
    // Drop switches at or beyond the crossing.
    while (work.nSwitches > 0 && work.switchNode[work.nSwitches - 1] >= xNode &&
           work.nodeS[work.switchNode[work.nSwitches - 1]] >= sx - SAME_NODE * work.scale)
        --work.nSwitches;
    const bool alongLimit = work.nSwitches > 0 && work.switchKind[work.nSwitches - 1] == OPT_BRAKE_TO_ACC &&
                            sx - work.nodeS[work.switchNode[work.nSwitches - 1]] < ALONG_LIMIT_GAP * work.scale;
    if (alongLimit)
        work.switchKind[work.nSwitches - 1] = OPT_ALONG_LIMIT;
    else
        addSwitch(xNode, OPT_ACC_TO_BRAKE);
    for (int j = work.nBrake - 1; j >= 0; --j) {
        if (work.brakeS[j] <= sx + SAME_NODE * work.scale) continue;
        if (!pushNode(work.brakeS[j], work.brakeW[j], BRAKING)) return false;
    }
    return true;
}

// The braking curve backwards from the switching point (sig, wSig) until it
// meets the profile. Returns 1 and splices it in, 0 when it leaves the
// admissible region first (the candidate is no switching point), -1 on failure.
int runBackward(double sig, double wSig)
{
    work.brakeS[0] = sig;
    work.brakeW[0] = wSig;
    work.nBrake = 1;
    const double sLast = work.nodeS[work.nNodes - 1];
    int c = cellOf(sig);
    if (sig == work.grid[c] && c > 0 && sig > 0.0) --c;  // start in the cell to the left
    double s1 = sig, w1 = wSig;
    CurveStart start = CurveStart::AT_SWITCH;
    int hint = work.nNodes - 1;
    for (int guard = 0; guard <= work.gridLast + 1 && s1 > 0.0; ++guard) {
        double s0 = work.grid[c];
        if (s0 >= s1) {
            if (c == 0) break;
            --c;
            continue;
        }
        double lo, hi;
        innerRange(s0, s1, &lo, &hi);
        bool out = false;
        const double w0 = integrateCurve(s1, w1, s0, BRAKING, start, &out);
        if (!std::isfinite(w0)) return -1;
        // Where the curve leaves the admissible region inside the cell, only the
        // part right of the exit counts; a crossing of the profile there still
        // ends the curve (the profile may run close under the limit).
        double sL = s0, wL = w0;
        const bool leaves = out || aboveLimit(w0, limitIn(s0, lo, hi));
        if (leaves) {
            sL = lastAdmissible(s1, w1, s0, BRAKING, start, lo, hi);
            wL = integrateCurve(s1, w1, sL, BRAKING, start);
        }
        // Compare with the profile where it exists (s <= its last node).
        if (sL <= sLast) {
            hint = profileNodeAt(sL, hint);
            if (wL > profileAt(hint, sL)) {
                // The braking curve, above the profile at sL and not above it
                // at `meet`, meets it in between.
                const double meet = s1 < sLast ? s1 : sLast;
                auto gap = [&](double m) {
                    return integrateCurve(s1, w1, m, BRAKING, start) - profileAt(profileNodeAt(m, work.nNodes - 1), m);
                };
                double sx = meet;
                if (!(gap(meet) > 0.0))
                    sx = findChange(sL, meet, rootWidth(), [&](double m) { return gap(m) < 0.0 ? 1 : -1; }).middle();
                return spliceBraking(sx) ? 1 : -1;
            }
        }
        if (leaves) return 0;
        if (work.nBrake >= BRAKE_CAP) {
            fail(OPT_NODES_FULL);
            return -1;
        }
        work.brakeS[work.nBrake] = s0;
        work.brakeW[work.nBrake] = w0;
        ++work.nBrake;
        s1 = s0;
        w1 = w0;
        start = CurveStart::REGULAR;
        if (c == 0) break;
        --c;
    }
    fail(OPT_NO_CONTINUATION);  // braking from the switching point never met the profile
    return -1;
}

}  // namespace

bool buildProfile()
{
    if (!makeGoalCurve()) return false;
    work.nNodes = 0;
    work.nSwitches = 0;
    pushNode(0.0, 0.0, ACCELERATING);
    CurveStart start = CurveStart::REGULAR;
    for (int round = 0; round <= OPT_SWITCH_CAP; ++round) {
        double sHit = 0.0;
        const int f = runForward(start, &sHit);
        if (f < 0) return false;
        if (f == 1) return true;
        // On the limit at sHit: the next switching point from which braking
        // backwards meets the profile.
        double after = -1.0;
        bool spliced = false;
        for (int tries = 0; tries < CANDIDATE_CAP && !spliced; ++tries) {
            double sig, wSig;
            if (!nextSwitchingPoint(sHit, after, &sig, &wSig)) return fail(OPT_NO_CONTINUATION);
            const int b = runBackward(sig, wSig);
            if (b < 0) return false;
            if (b == 1) {
                spliced = true;
                addSwitch(work.nNodes - 1, OPT_BRAKE_TO_ACC);
                work.nodeOnLimit[work.nNodes - 1] = true;
            } else {
                after = sig;
            }
        }
        if (!spliced) return fail(OPT_NO_CONTINUATION);
        start = CurveStart::AT_SWITCH;
    }
    return fail(OPT_SWITCHES_FULL);
}

}  // namespace optimum_detail

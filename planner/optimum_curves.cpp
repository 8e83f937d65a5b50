// The admissible path accelerations of the two axes and the extreme curves of
// the phase plane: the acceleration and braking curves w(s), integrated by RK4
// within one grid cell, and where such a curve leaves the admissible region.
//
// With u = d2s/dt2 and w = (ds/dt)^2 the axis accelerations are
//   x'' = x'(s) u + x''(s) w,   y'' = y'(s) u + y''(s) w,
// so each axis limit is a band of u whose ends are linear in w, and the extreme
// accelerations give dw/ds = 2 u_max(s, w) or 2 u_min(s, w): an ODE in s that is
// linear in w for each active bound.
#include <cmath>

#include "core/state.h"
#include "path/curves.h"
#include "planner/optimum_work.h"

namespace optimum_detail {

namespace {

// One axis, |c1 u + c2 w| <= amax: u between (-amax - c2 w)/c1 and (amax - c2 w)/c1.
// An axis that does not move along the path here (c1 = 0) bounds w only.
void narrowBand(int axis, double c1, double c2, double w, double amax, Band* b)
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
        b->axisHi = axis;
    }
    if (dn > b->lo) {
        b->lo = dn;
        b->slopeLo = slope;
        b->axisLo = axis;
    }
}

}  // namespace

void bandAt(double s, double w, Band* b)
{
    CurveDerivs d;
    if (!cpDerivatives(s, &d) || !std::isfinite(d.x1 + d.x2 + d.y1 + d.y2)) fail(OPT_NOT_A_NUMBER);
    b->lo = -INF;
    b->hi = INF;
    b->slopeLo = b->slopeHi = 0.0;
    b->axisLo = b->axisHi = -1;
    narrowBand(0, d.x1, d.x2, w, sim.xamax, b);
    narrowBand(1, d.y1, d.y2, w, sim.yamax, b);
    if (!std::isfinite(b->lo)) b->lo = b->hi;  // a curve with x' = y' = 0 here: no motion
    if (!std::isfinite(b->hi)) b->hi = b->lo;
    if (!std::isfinite(b->lo)) b->lo = b->hi = 0.0;
}

// The two bands' centres -c2 w / c1 are apart by |x''/x' - y''/y'| w, their
// half-widths add to xamax/|x'| + yamax/|y'|.
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

void innerRange(double a, double b, double* lo, double* hi)
{
    const double l = a < b ? a : b;
    const double h = a < b ? b : a;
    double e = work.edge;
    if (e > 0.25 * (h - l)) e = 0.25 * (h - l);
    *lo = l + e;
    *hi = h - e;
}

double slopeW(double s, double w, Extreme e, double lo, double hi, double* stiff, int* axis)
{
    Band b;
    bandAt(clampTo(s, lo, hi), w, &b);
    if (e == ACCELERATING) {
        *stiff = 2.0 * b.slopeHi;
        if (axis) *axis = b.axisHi;
        return 2.0 * b.hi;
    }
    *stiff = 2.0 * b.slopeLo;
    if (axis) *axis = b.axisLo;
    return 2.0 * b.lo;
}

namespace {

// One classical RK4 step of length h from (s, w) whose first slope is k1.
double rk4Step(double s, double w, double h, double k1, Extreme e, double lo, double hi)
{
    double st;
    const double k2 = slopeW(s + 0.5 * h, w + 0.5 * h * k1, e, lo, hi, &st);
    const double k3 = slopeW(s + 0.5 * h, w + 0.5 * h * k2, e, lo, hi, &st);
    const double k4 = slopeW(s + h, w + h * k3, e, lo, hi, &st);
    return w + h / 6.0 * (k1 + 2.0 * k2 + 2.0 * k3 + k4);
}

// How far apart the two axes' bounds on the extreme path acceleration are at
// (s, w): X's minus Y's, so that its sign changes where the other axis takes
// over. NAN where an axis bounds only w (it does not move along the path there).
double axisGap(double s, double w, Extreme e, double lo, double hi)
{
    CurveDerivs d;
    cpDerivatives(clampTo(s, lo, hi), &d);
    if (d.x1 == 0.0 || d.y1 == 0.0) return NAN;
    auto bound = [&](double c1, double c2, double amax) {
        const double e1 = (amax - c2 * w) / c1, e2 = (-amax - c2 * w) / c1;
        return e == ACCELERATING ? (e1 > e2 ? e1 : e2) : (e1 > e2 ? e2 : e1);
    };
    return bound(d.x1, d.x2, sim.xamax) - bound(d.y1, d.y2, sim.yamax);
}

// The step length in (0, h] at whose end the other axis has just taken over,
// for a step from (s, w) with first slope k1 whose end lies past the change:
// regula falsi (Illinois) on axisGap along the step, bisection where the gap
// is not defined. Within KINK_WIDTH of the step.
double stepToKink(double s, double w, double h, double k1, Extreme e, double lo, double hi)
{
    auto gapAt = [&](double m) { return axisGap(s + m, rk4Step(s, w, m, k1, e, lo, hi), e, lo, hi); };
    double a = 0.0, b = h;
    double ga = axisGap(s, w, e, lo, hi), gb = gapAt(h);
    if (!(ga * gb < 0.0)) return h;  // no change of sign to follow: take the whole step
    const double width = KINK_WIDTH * std::fabs(h);
    int side = 0;
    for (int it = 0; it < KINK_ITER && std::fabs(b - a) > width; ++it) {
        double m = (a * gb - b * ga) / (gb - ga);
        if (!(std::fabs(m - a) < std::fabs(b - a)) || !(std::fabs(m - b) < std::fabs(b - a))) m = 0.5 * (a + b);
        const double gm = gapAt(m);
        if (!std::isfinite(gm)) return h;
        if (gm == 0.0) return m;
        if ((gm < 0.0) == (ga < 0.0)) {
            a = m;
            ga = gm;
            if (side == -1) gb *= 0.5;
            side = -1;
        } else {
            b = m;
            gb = gm;
            if (side == 1) ga *= 0.5;
            side = 1;
        }
    }
    return b;
}

}  // namespace

double limitIn(double s, double lo, double hi) { return limitW(clampTo(s, lo, hi)); }

bool aboveLimit(double w, double lim) { return w > lim * (1.0 + ABOVE_LIMIT_REL) + ABOVE_LIMIT_ABS; }

// The sub-steps are limited by the stiffness of the active bound (its
// d(2u)/dw), which grows without bound next to a point where the tangent of
// that axis vanishes and above the limit curve; a step whose stages meet a
// stiffer bound than its start is retried shorter. From a switching point the
// first short step is an Euler step whose slope is taken just off s0: at a
// zero-inertia switching point the bounds themselves are 0/0.
double integrateCurve(double s0, double w0, double s1, Extreme e, CurveStart start, bool* left)
{
    if (left) *left = false;
    const double len = s1 - s0;
    if (len == 0.0) return w0;
    const double dir = len > 0.0 ? 1.0 : -1.0;
    double lo, hi;
    innerRange(s0, s1, &lo, &hi);
    double s = s0, w = w0;
    const double hMin = MIN_SUBSTEP * work.scale;
    if (start == CurveStart::AT_SWITCH) {
        double h = SWITCH_STEP * work.scale;
        if (h > 0.5 * std::fabs(len)) h = 0.5 * std::fabs(len);
        double stiff;
        const double f = slopeW(s0 + dir * h, w, e, lo, hi, &stiff);
        w += dir * h * f;
        s = s0 + dir * h;
    }
    for (int k = 0; k < SUBSTEP_CAP && (s1 - s) * dir > 0.0; ++k) {
        double stiff;
        int axis = -1;
        const double k1 = slopeW(s, w, e, lo, hi, &stiff, &axis);
        double h = s1 - s;
        if (stiff != 0.0) {
            double cap = STIFF_STEP / std::fabs(stiff);
            if (cap < hMin) cap = hMin;
            if (std::fabs(h) > cap) h = dir * cap;
        }
        double k2 = 0, k3 = 0, k4 = 0;
        int axisEnd = axis;
        for (int retry = 0; retry < STEP_RETRY_CAP; ++retry) {
            double st2, st3, st4;
            k2 = slopeW(s + 0.5 * h, w + 0.5 * h * k1, e, lo, hi, &st2);
            k3 = slopeW(s + 0.5 * h, w + 0.5 * h * k2, e, lo, hi, &st3);
            k4 = slopeW(s + h, w + h * k3, e, lo, hi, &st4, &axisEnd);
            double stiffest = std::fabs(st2);
            if (std::fabs(st3) > stiffest) stiffest = std::fabs(st3);
            if (std::fabs(st4) > stiffest) stiffest = std::fabs(st4);
            if (stiffest * std::fabs(h) <= STIFF_STAGE || std::fabs(h) <= hMin) break;
            h *= STEP_SHORTEN;
        }
        double wNext = w + h / 6.0 * (k1 + 2.0 * k2 + 2.0 * k3 + k4);
        // Where the other axis takes over inside the step, d2s/dt2 has a corner
        // that RK4 would smear over the whole step: step only to just past it.
        if (axisEnd != axis && std::fabs(h) > hMin) {
            const double toKink = stepToKink(s, w, h, k1, e, lo, hi);
            if (toKink != h) {
                h = toKink;
                wNext = rk4Step(s, w, h, k1, e, lo, hi);
            }
        }
        w = wNext;
        s = ((s1 - (s + h)) * dir <= 0.0) ? s1 : s + h;
        if (!std::isfinite(w)) {
            fail(OPT_NOT_A_NUMBER);
            return NAN;
        }
        if (left && aboveLimit(w, limitIn(s, lo, hi))) {
            *left = true;
            return w;
        }
    }
    if ((s1 - s) * dir > 0.0) {
        fail(OPT_STEP_CAP);
        return NAN;
    }
    return w;
}

double lastAdmissible(double sIn, double wIn, double sOut, Extreme e, CurveStart start, double lo, double hi)
{
    const Bracket br = findChange(sIn, sOut, rootWidth(), [&](double m) {
        bool out = false;
        const double wm = integrateCurve(sIn, wIn, m, e, start, &out);
        return (out || !std::isfinite(wm) || aboveLimit(wm, limitIn(m, lo, hi))) ? 1 : -1;
    });
    return br.a;
}

void axisAccAt(double s, double w, Extreme e, double lo, double hi, double* ax, double* ay)
{
    const double sc = clampTo(s, lo, hi);
    Band b;
    bandAt(sc, w, &b);
    const double u = e == ACCELERATING ? b.hi : b.lo;
    CurveDerivs d;
    cpDerivatives(sc, &d);
    *ax = d.x1 * u + d.x2 * w;
    *ay = d.y1 * u + d.y2 * w;
}

}  // namespace optimum_detail

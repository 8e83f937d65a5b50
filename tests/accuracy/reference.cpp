// The reference optimum: maximal velocity profile of the path under both axis limits,
// built on a grid in s. Reads cpType, sEnd, vEnd, xamax, yamax and the curve of `sim`.
#include "reference.h"

#include <cmath>
#include <limits>
#include <vector>

#include "core/state.h"
#include "path/curves.h"

namespace {

constexpr double INF = std::numeric_limits<double>::infinity();

// One axis: |c1 u + c2 w| <= amax narrows [lo, hi]. A zero c1 leaves u free
// (the axis then bounds w only, which the velocity limit takes care of).
void narrow(double c1, double c2, double w, double amax, double* lo, double* hi)
{
    if (c1 == 0.0) return;
    const double e1 = (-amax - c2 * w) / c1;
    const double e2 = (amax - c2 * w) / c1;
    *lo = std::fmax(*lo, std::fmin(e1, e2));
    *hi = std::fmin(*hi, std::fmax(e1, e2));
}

}  // namespace

// x'' = x' u + x'' w and y'' = y' u + y'' w (u = d2s/dt2, w = (ds/dt)^2): each axis
// limit is a band of u of half-width amax/|c1| about -c2 w / c1; the admissible u
// is the overlap of the two bands.
bool admissibleRange(double s, double w, double* lo, double* hi)
{
    CurveDerivs d;
    cpDerivatives(s, &d);
    *lo = -INF;
    *hi = INF;
    narrow(d.x1, d.x2, w, sim.xamax, lo, hi);
    narrow(d.y1, d.y2, w, sim.yamax, lo, hi);
    if (*lo <= *hi) return true;
    const double mid = 0.5 * (*lo + *hi);
    *lo = *hi = mid;
    return false;
}

// The two bands overlap while the distance of their centres, |x''/x' - y''/y'| w,
// is at most the sum of their half-widths xamax/|x'| + yamax/|y'|; multiplied by
// |x' y'| this reads |x' y'' - x'' y'| w <= xamax |y'| + yamax |x'|, which also
// holds when x' or y' is zero (the axis then bounds w directly).
double velocityLimitSquared(double s)
{
    CurveDerivs d;
    cpDerivatives(s, &d);
    const double den = std::fabs(d.x1 * d.y2 - d.x2 * d.y1);
    const double num = sim.xamax * std::fabs(d.y1) + sim.yamax * std::fabs(d.x1);
    if (den == 0.0) return INF;
    return num / den;
}

// Forward sweep: x[i+1] = min(limit(s[i+1]), x[i] + 2 ds umax(s[i], x[i])), from
// rest at s = 0. Backward sweep: x[i] = min(x[i], x[i+1] - 2 ds umin(s[i+1], x[i+1])),
// from vEnd at the end. The result is the largest profile that is admissible in
// both directions; its time is the sum of 2 ds / (sqrt(x[i]) + sqrt(x[i+1])),
// exact for x linear in s (constant d2s/dt2 over an interval).
double gridProfile(int n, std::vector<double>* profile)
{
    const double sEnd = sim.sEnd[sim.cpType];
    const double ds = sEnd / n;
    std::vector<double>& x = *profile;
    x.assign(static_cast<size_t>(n) + 1, 0.0);
    x[0] = 0.0;
    for (int i = 0; i < n; ++i) {
        double lo = 0.0, hi = 0.0;
        admissibleRange(i * ds, x[i], &lo, &hi);
        double next = x[i] + 2.0 * ds * hi;
        const double lim = velocityLimitSquared((i + 1) * ds);
        if (next > lim) next = lim;
        if (next < 0.0) next = 0.0;
        x[i + 1] = next;
    }
    const double vEnd = sim.vEnd[sim.cpType];
    if (x[n] > vEnd * vEnd) x[n] = vEnd * vEnd;
    for (int i = n - 1; i >= 0; --i) {
        double lo = 0.0, hi = 0.0;
        admissibleRange((i + 1) * ds, x[i + 1], &lo, &hi);
        double prev = x[i + 1] - 2.0 * ds * lo;
        if (prev < 0.0) prev = 0.0;
        if (x[i] > prev) x[i] = prev;
    }
    double T = 0.0;
    for (int i = 0; i < n; ++i) T += 2.0 * ds / (std::sqrt(x[i]) + std::sqrt(x[i + 1]));
    return T;
}

double gridMinimumTime(int n)
{
    std::vector<double> x;
    return gridProfile(n, &x);
}

ReferenceTime referenceMinimumTime(double relTol, int nStart, int nMax)
{
    ReferenceTime r;
    int n = nStart;
    double prev = gridMinimumTime(n);
    while (n < nMax) {
        n *= 2;
        const double T = gridMinimumTime(n);
        r.tf = T;
        r.n = n;
        r.change = std::fabs(T - prev);
        prev = T;
        if (r.change <= relTol * T) {
            r.settled = true;
            break;
        }
    }
    if (r.n == 0) {
        r.tf = prev;
        r.n = n;
    }
    return r;
}

namespace {

constexpr double QUARTER_PI = 0.78539816339744831;

// On the circle x = R cos s, y = R sin s with w = (ds/dt)^2 and u = d2s/dt2:
//   x'' = -R sin(s) u - R cos(s) w,   y'' = R cos(s) u - R sin(s) w.
// For 0 <= s <= pi/2 both sin and cos are >= 0, so
//   |y''| <= a  gives  (-a + R sin w) / (R cos) <= u <= (a + R sin w) / (R cos)   (cos > 0)
//   |x''| <= a  gives  -(a + R cos w) / (R sin) <= u <= (a - R cos w) / (R sin)   (sin > 0)
// and an axis whose coefficient of u vanishes bounds w only.
void circleRange(double R, double a, double s, double w, double* lo, double* hi)
{
    const double sn = std::sin(s), cs = std::cos(s);
    *lo = -INF;
    *hi = INF;
    if (cs > 0.0) {
        *lo = std::fmax(*lo, (-a + R * sn * w) / (R * cs));
        *hi = std::fmin(*hi, (a + R * sn * w) / (R * cs));
    }
    if (sn > 0.0) {
        *lo = std::fmax(*lo, -(a + R * cs * w) / (R * sn));
        *hi = std::fmin(*hi, (a - R * cs * w) / (R * sn));
    }
}

// One curve: dir = +1 accelerates forward in time from (0, 0); dir = -1 runs the
// decelerating curve backwards in time from (pi/2, 0). Stops at s = pi/4 and
// interpolates the last step linearly in s.
void quarterArcCurve(double R, double a, double h, int dir, double* tOut, double* vOut, double* peak)
{
    auto rhs = [&](const double y[2], double f[2]) {
        double lo = 0.0, hi = 0.0;
        circleRange(R, a, y[0], y[1] * y[1], &lo, &hi);
        // Backwards in time: ds/dtau = -v, dv/dtau = -lo (tau = -t).
        f[0] = dir > 0 ? y[1] : -y[1];
        f[1] = dir > 0 ? hi : -lo;
    };
    double y[2] = {dir > 0 ? 0.0 : 2.0 * QUARTER_PI, 0.0};
    double t = 0.0;
    for (long k = 0; k < 100000000L; ++k) {
        double k1[2], k2[2], k3[2], k4[2], tmp[2];
        rhs(y, k1);
        for (int i = 0; i < 2; ++i) tmp[i] = y[i] + 0.5 * h * k1[i];
        rhs(tmp, k2);
        for (int i = 0; i < 2; ++i) tmp[i] = y[i] + 0.5 * h * k2[i];
        rhs(tmp, k3);
        for (int i = 0; i < 2; ++i) tmp[i] = y[i] + h * k3[i];
        rhs(tmp, k4);
        double next[2];
        for (int i = 0; i < 2; ++i) next[i] = y[i] + h / 6.0 * (k1[i] + 2.0 * k2[i] + 2.0 * k3[i] + k4[i]);
        const double w = next[1] * next[1];
        const double wMax = a * (std::fabs(std::cos(next[0])) + std::fabs(std::sin(next[0]))) / R;
        *peak = std::fmax(*peak, w / wMax);
        const bool past = dir > 0 ? next[0] >= QUARTER_PI : next[0] <= QUARTER_PI;
        if (past) {
            const double f = (QUARTER_PI - y[0]) / (next[0] - y[0]);
            *tOut = t + f * h;
            *vOut = y[1] + f * (next[1] - y[1]);
            return;
        }
        y[0] = next[0];
        y[1] = next[1];
        t += h;
    }
}

}  // namespace

QuarterArcHalves quarterArcHalves(double R, double a, double h)
{
    QuarterArcHalves q;
    quarterArcCurve(R, a, h, +1, &q.tForward, &q.vForward, &q.peakLimitRatio);
    quarterArcCurve(R, a, h, -1, &q.tBackward, &q.vBackward, &q.peakLimitRatio);
    return q;
}

// Path acceleration bounds of the bang-bang motion and their integration.
// Reads cpType, curve parameters, xamax, yamax, accSign; writes only the caller's acc.
#include "planner/bounds.h"

#include <cmath>

#include "core/state.h"
#include "path/curves.h"

namespace {

// Divisor guard: magnitudes below EPS_DIV become +EPS_DIV (positive side) or
// -EPS_DIV (zero and the negative side).
double guardDiv(double v)
{
    if (v > 0.0 && v < EPS_DIV) return EPS_DIV;
    if (v > -EPS_DIV && v <= 0.0) return -EPS_DIV;
    return v;
}

// Ends of the range of u with |c1*u + c0| <= amax, divisor c1 != 0 already guarded
// where the path type guards it. A zero divisor (unguarded types) follows IEEE
// division, with a zero numerator taken as 0 so that no end is ever NaN.
void axisRange(double c1, double c0, double amax, double* e1, double* e2)
{
    const double n1 = amax - c0;
    const double n2 = -amax - c0;
    *e1 = (c1 == 0.0 && n1 == 0.0) ? 0.0 : n1 / c1;
    *e2 = (c1 == 0.0 && n2 == 0.0) ? 0.0 : n2 / c1;
}

double pickEnd(double x1, double x2, double y1, double y2)
{
    double hi = 0.0, lo = 0.0;
    rangeIntersect(x1, x2, y1, y2, &hi, &lo);
    if (hi < lo) hi = lo;  // above the velocity limit: both signs take the larger lower end
    return sim.accSign > 0 ? hi : lo;
}

}  // namespace

void rangeIntersect(double a1, double a2, double b1, double b2, double* hi, double* lo)
{
    const double aMax = a1 > a2 ? a1 : a2;
    const double aMin = a1 < a2 ? a1 : a2;
    const double bMax = b1 > b2 ? b1 : b2;
    const double bMin = b1 < b2 ? b1 : b2;
    *hi = aMax < bMax ? aMax : bMax;
    *lo = aMin > bMin ? aMin : bMin;
}

// With w = (ds/dt)^2 and u = d2s/dt2 the axis accelerations are
//   x'' = x'(s) u + x''(s) w,   y'' = y'(s) u + y''(s) w,
// so |x''| <= xamax bounds u between (+-xamax - x''(s) w) / x'(s), and likewise
// for y. The admissible u is the overlap of the two ranges; accSign picks its
// upper (+1) or lower (-1) end. Each type guards its divisors in its own way.
double phaseRhs(int i, double /*t*/, const double* y, double acc[3])
{
    if (i == 0) return y[1];

    const SimState& g = sim;
    const double s = y[0];
    const double w = y[1] * y[1];
    const double xa = g.xamax;
    const double ya = g.yamax;
    double x1 = 0, x2 = 0, y1 = 0, y2 = 0;  // range ends
    double u = 0.0;

    switch (g.cpType) {
    case CP_ARC: {
        const double R = g.arcR;
        const double sn = guardDiv(std::sin(s));
        const double cs = guardDiv(std::cos(s));
        axisRange(-R * sn, -R * w * cs, xa, &x1, &x2);
        axisRange(R * cs, -R * w * sn, ya, &y1, &y2);
        u = pickEnd(x1, x2, y1, y2);
        acc[0] = R * u;
        acc[1] = -R * u * sn - R * w * cs;
        acc[2] = R * u * cs - R * w * sn;
        return u;
    }
    case CP_SINE: {
        CurveDerivs d;
        cpDerivatives(s, &d);
        x1 = -xa;
        x2 = xa;
        if (d.y1 == 0.0) {  // no guard case applies: the Y axis does not bound u
            y1 = -INFINITY;
            y2 = INFINITY;
        } else {
            double div = d.y1;
            if (std::fabs(d.y1) < EPS_DIV) div = d.y1 > 0.0 ? EPS_DIV : -EPS_DIV;
            axisRange(div, d.y2 * w, ya, &y1, &y2);
        }
        u = pickEnd(x1, x2, y1, y2);
        acc[0] = u;
        acc[1] = u;
        acc[2] = d.y1 * u + d.y2 * w;
        return u;
    }
    case CP_U: {
        if (s < g.uL || s >= g.sEnd[CP_U] - g.uL) {
            // Straights: the Y axis alone carries the motion at its full limit.
            u = g.accSign > 0 ? ya : -ya;
            acc[0] = u;
            acc[1] = 0.0;
            acc[2] = s < g.uL ? u : -u;
            return u;
        }
        const double th = (s - g.uL) / g.uR;
        const double sn = guardDiv(std::sin(th));
        const double cs = guardDiv(std::cos(th));
        axisRange(sn, w * cs / g.uR, xa, &x1, &x2);
        axisRange(cs, -w * sn / g.uR, ya, &y1, &y2);
        u = pickEnd(x1, x2, y1, y2);
        acc[0] = u;
        acc[1] = u * sn + (w / g.uR) * cs;
        acc[2] = u * cs - (w / g.uR) * sn;
        return u;
    }
    case CP_SLALOM: {
        int k = 0;
        double phi = 0.0;
        if (!slalomPiece(s, &k, &phi)) return 0.0;  // not a number: acc left unchanged
        const double R = g.slmR;
        const double sn = guardDiv(std::sin(phi));
        const double cs = std::cos(phi);  // not guarded
        const double side = (k % 2 == 0) ? 1.0 : -1.0;
        axisRange(R * sn, R * w * cs, xa, &x1, &x2);
        axisRange(R * cs, -R * w * sn, ya, &y1, &y2);
        u = pickEnd(x1, x2, y1, y2);
        acc[0] = R * u;
        acc[1] = R * u * sn + R * w * cs;
        acc[2] = side * (R * u * cs - R * w * sn);
        return u;
    }
    case CP_CAM_ACC: {
        CurveDerivs d;
        cpDerivatives(s, &d);
        axisRange(d.y1, d.y2 * w, ya, &y1, &y2);
        u = pickEnd(-xa, xa, y1, y2);
        acc[0] = u;
        acc[1] = u;
        acc[2] = d.y1 * u + d.y2 * w;
        return u;
    }
    case CP_CAM_CYCLOID: {
        CurveDerivs d;
        cpDerivatives(s, &d);
        if (std::fabs(d.y1) < EPS_DIV) {
            y1 = -1000.0;
            y2 = 1000.0;
        } else {
            axisRange(d.y1, d.y2 * w, ya, &y1, &y2);
        }
        u = pickEnd(-xa, xa, y1, y2);
        acc[0] = u;
        acc[1] = u;
        acc[2] = d.y1 * u + d.y2 * w;
        return u;
    }
    default:
        acc[0] = acc[1] = acc[2] = 0.0;
        return 0.0;
    }
}

// Runge-Kutta-Gill with the error-compensation term q, stage by stage:
//   k1 = h f(t, y);          r1 = k1/2;              y1 = y + r1;  q1 = 3 r1 - k1/2
//   k2 = h f(t + h/2, y1);   r2 = a (k2 - q1);       y2 = y1 + r2; q2 = q1 + 3 r2 - a k2
//   k3 = h f(t + h/2, y2);   r3 = b (k3 - q2);       y3 = y2 + r3; q3 = q2 + 3 r3 - b k3
//   k4 = h f(t + h, y3);     r4 = c (k4 - 2 q3);     yNew = y3 + r4
// with a = 1 - 1/sqrt2, b = 1 + 1/sqrt2, c = 1/6 stored as decimals.
void rkgStep(double t, double h, const double* y, double* yNew, double acc[3], int n)
{
    const double alpha = 0.292893219;
    const double beta = 1.70710678;
    const double gamma = 0.16666667;
    if (n > RKG_MAX_EQ) n = RKG_MAX_EQ;
    if (n < 1) return;

    double k[RKG_MAX_EQ], q[RKG_MAX_EQ], ys[RKG_MAX_EQ];
    for (int i = 0; i < n; ++i) ys[i] = y[i];

    for (int i = 0; i < n; ++i) k[i] = h * phaseRhs(i, t, ys, acc);
    for (int i = 0; i < n; ++i) {
        const double r = 0.5 * k[i];
        ys[i] += r;
        q[i] = 3.0 * r - 0.5 * k[i];
    }

    for (int i = 0; i < n; ++i) k[i] = h * phaseRhs(i, t + 0.5 * h, ys, acc);
    for (int i = 0; i < n; ++i) {
        const double r = alpha * (k[i] - q[i]);
        ys[i] += r;
        q[i] = q[i] + 3.0 * r - alpha * k[i];
    }

    for (int i = 0; i < n; ++i) k[i] = h * phaseRhs(i, t + 0.5 * h, ys, acc);
    for (int i = 0; i < n; ++i) {
        const double r = beta * (k[i] - q[i]);
        ys[i] += r;
        q[i] = q[i] + 3.0 * r - beta * k[i];
    }

    for (int i = 0; i < n; ++i) k[i] = h * phaseRhs(i, t + h, ys, acc);
    for (int i = 0; i < n; ++i) yNew[i] = ys[i] + gamma * (k[i] - 2.0 * q[i]);
}

// The six path curves as functions of the path parameter s.
// Reads the curve parameters and per-type tables of `sim`; keeps no state.
#include "path/curves.h"

#include <cmath>

#include "core/state.h"

bool slalomPiece(double s, int* k, double* phi)
{
    if (!std::isfinite(s)) return false;
    if (s < 0.0) {  // before the start: the first semicircle extended
        *k = 0;
        *phi = s;
        return true;
    }
    // The pattern's intervals: [2m*pi, (2m+1)*pi) even, [(2m+1)*pi, (2m+2)*pi) odd,
    // for m = 0 .. (slmN + 1) / 2. The count is bounded by the slalom's own size.
    const int mMax = (sim.slmN + 1) / 2;
    for (int mm = 0; mm <= mMax && mm <= 1000; ++mm) {
        if (s >= 2 * mm * PI && s < (2 * mm + 1) * PI) {
            *k = 2 * mm;
            *phi = s - 2 * mm * PI;
            return true;
        }
        if (s >= (2 * mm + 1) * PI && s < (2 * mm + 2) * PI) {
            *k = 2 * mm + 1;
            *phi = s - (2 * mm + 1) * PI;
            return true;
        }
    }
    // Past the covered intervals the same pattern continues.
    double kk = std::floor(s / PI);
    if (kk > 1.0e6) kk = 1.0e6;
    *k = static_cast<int>(kk);
    *phi = s - *k * PI;
    return true;
}

void cpPoint(double s, double P[2])
{
    const SimState& g = sim;
    const int type = (g.cpType >= 1 && g.cpType <= 6) ? g.cpType : 0;
    const double x0 = g.cpStart[type][0];
    const double y0 = g.cpStart[type][1];
    switch (type) {
    case CP_ARC:
        P[0] = g.arcA[0] + g.arcR * std::cos(s);
        P[1] = g.arcA[1] + g.arcR * std::sin(s);
        return;
    case CP_SINE:
        P[0] = x0 + s;
        P[1] = y0 + g.sinA * std::sin(g.sinK * s);
        return;
    case CP_U: {
        const double S = g.sEnd[CP_U];
        if (s < g.uL) {
            P[0] = x0;
            P[1] = y0 + s;
        } else if (s < g.uL + g.uArc) {
            const double th = (s - g.uL) / g.uR;
            P[0] = x0 + g.uR * (1.0 - std::cos(th));
            P[1] = y0 + g.uL + g.uR * std::sin(th);
        } else if (s < S) {
            P[0] = x0 + 2.0 * g.uR;
            P[1] = y0 + (S - s);
        } else {
            P[0] = x0 + 2.0 * g.uR;
            P[1] = y0;
        }
        return;
    }
    case CP_SLALOM: {
        int k = 0;
        double phi = 0.0;
        if (!slalomPiece(s, &k, &phi)) {
            P[0] = x0;
            P[1] = y0;
            return;
        }
        const double sign = (k % 2 == 0) ? 1.0 : -1.0;
        P[0] = x0 + (2 * k + 1) * g.slmR - g.slmR * std::cos(phi);
        P[1] = y0 + sign * g.slmR * std::sin(phi);
        return;
    }
    case CP_CAM_ACC: {
        const double L = g.camL, H = g.camH;
        P[0] = x0 + s;
        if (s < L / 2.0) {
            const double r = s / L;
            P[1] = y0 + 2.0 * H * r * r;
        } else {
            const double r = 1.0 - s / L;
            P[1] = y0 + H * (1.0 - 2.0 * r * r);
        }
        return;
    }
    case CP_CAM_CYCLOID: {
        const double L = g.cycL, H = g.cycH;
        P[0] = x0 + s;
        P[1] = y0 + H * (s / L - std::sin(2.0 * PI * s / L) / (2.0 * PI));
        return;
    }
    default:
        P[0] = 0.0;
        P[1] = 0.0;
        return;
    }
}

bool cpDerivatives(double s, CurveDerivs* d)
{
    const SimState& g = sim;
    d->x1 = d->x2 = d->y1 = d->y2 = 0.0;
    if (std::isnan(s)) return false;
    switch (g.cpType) {
    case CP_ARC:
        d->x1 = -g.arcR * std::sin(s);
        d->x2 = -g.arcR * std::cos(s);
        d->y1 = g.arcR * std::cos(s);
        d->y2 = -g.arcR * std::sin(s);
        return true;
    case CP_SINE: {
        const double ks = g.sinK * s;
        d->x1 = 1.0;
        d->y1 = g.sinA * g.sinK * std::cos(ks);
        d->y2 = -g.sinA * g.sinK * g.sinK * std::sin(ks);
        return true;
    }
    case CP_U:
        if (s < g.uL) {
            d->y1 = 1.0;
        } else if (s < g.sEnd[CP_U] - g.uL) {
            const double th = (s - g.uL) / g.uR;
            d->x1 = std::sin(th);
            d->x2 = std::cos(th) / g.uR;
            d->y1 = std::cos(th);
            d->y2 = -std::sin(th) / g.uR;
        } else {
            d->y1 = -1.0;
        }
        return true;
    case CP_SLALOM: {
        int k = 0;
        double phi = 0.0;
        if (!slalomPiece(s, &k, &phi)) return false;
        const double sign = (k % 2 == 0) ? 1.0 : -1.0;
        d->x1 = g.slmR * std::sin(phi);
        d->x2 = g.slmR * std::cos(phi);
        d->y1 = sign * g.slmR * std::cos(phi);
        d->y2 = -sign * g.slmR * std::sin(phi);
        return true;
    }
    case CP_CAM_ACC:
        // Outside 0..camL the nearest half is extended.
        d->x1 = 1.0;
        if (s < g.camL / 2.0) {
            d->y1 = g.camA * s;
            d->y2 = g.camA;
        } else {
            d->y1 = g.camA * (g.camL - s);
            d->y2 = -g.camA;
        }
        return true;
    case CP_CAM_CYCLOID:
        d->x1 = 1.0;
        d->y1 = (g.cycC / g.cycW) * (1.0 - std::cos(g.cycW * s));
        d->y2 = g.cycC * std::sin(g.cycW * s);
        return true;
    default:
        return false;
    }
}

void cpAxisAcc(double s, double v, double a, double acc[3])
{
    const SimState& g = sim;
    const int type = (g.cpType >= 1 && g.cpType <= 6) ? g.cpType : 0;
    if (s > g.sEnd[type]) {
        acc[0] = acc[1] = acc[2] = 0.0;
        return;
    }
    CurveDerivs d;
    cpDerivatives(s, &d);
    double path = a;
    if (type == CP_ARC) path = g.arcR * a;
    if (type == CP_SLALOM) path = g.slmR * a;
    acc[0] = path;
    acc[1] = d.x2 * v * v + d.x1 * a;
    acc[2] = d.y2 * v * v + d.y1 * a;
}

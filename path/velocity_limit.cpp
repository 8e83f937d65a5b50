// The velocity limit curve of the current path under the two axis limits.
// Writes vLimit and vLimitLast of `sim`; reads the path and the limits.
#include "path/velocity_limit.h"

#include <cmath>

#include "core/state.h"
#include "path/curves.h"

namespace {

constexpr int LAST = VLIMIT_CAP - 1;  // last index that may be written

// Largest ds/dt on a curve parameterised by x travel (x' = 1, x'' = 0):
// the ranges overlap while |y''| w <= yamax + |y'| xamax.
double travelLimit(double y1, double y2)
{
    const SimState& g = sim;
    double w;
    if (y1 > 0.0)
        w = (y1 * g.xamax + g.yamax) / y2;
    else if (y1 < 0.0)
        w = (g.yamax - y1 * g.xamax) / y2;
    else
        w = g.yamax / std::fabs(y2);  // y' = 0: the limit is sqrt(yamax / |y''|)
    return std::sqrt(std::fabs(w));
}

// Samples s = i * step, i = 0, 1, ...; stops after the first s >= sEnd or at the
// table's last entry, whichever comes first.
template <typename Limit>
void sampleTravel(double sEnd, Limit limit)
{
    SimState& g = sim;
    for (int i = 0; i <= LAST; ++i) {
        const double s = i * 0.01;
        g.vLimit[i][0] = s;
        g.vLimit[i][1] = limit(s);
        g.vLimitLast = i;
        if (s >= sEnd) break;
    }
}

// Normal acceleration that the two axes can supply at circle angle th.
double circleSupply(double th)
{
    return std::fabs(std::cos(th)) * sim.xamax + std::fabs(std::sin(th)) * sim.yamax;
}

}  // namespace

void makeVelocityLimit()
{
    SimState& g = sim;
    const double step = PI / 100.0;

    switch (g.cpType) {
    case CP_SINE:
        sampleTravel(g.sEnd[CP_SINE], [](double s) {
            CurveDerivs d;
            cpDerivatives(s, &d);
            return travelLimit(d.y1, d.y2);
        });
        return;
    case CP_U: {
        g.vLimit[0][0] = g.uL;
        g.vLimit[0][1] = 100.0;
        int i = 0;
        // Entries 1 .. i+1 sample the bend; entry i+2 closes it with 100.0.
        for (i = 0; i + 2 <= LAST; ++i) {
            const double th = i * step;
            g.vLimit[i + 1][0] = g.uL + g.uR * th;
            g.vLimit[i + 1][1] = std::sqrt(circleSupply(th) * g.uR);
            if (th >= PI) break;
        }
        if (i + 2 > LAST) i = LAST - 2;
        g.vLimit[i + 2][0] = g.vLimit[i + 1][0];
        g.vLimit[i + 2][1] = 100.0;
        g.vLimitLast = i + 2;
        return;
    }
    case CP_SLALOM: {
        // One semicircle sampled, copied to every semicircle j at index i + 100 j.
        int last = 0;
        for (int i = 0; i <= LAST; ++i) {
            const double th = i * step;
            const double v = std::sqrt(circleSupply(th) / g.slmR);
            for (int j = 0; j < g.slmN; ++j) {
                const int idx = i + 100 * j;
                if (idx > LAST) break;
                g.vLimit[idx][0] = j * PI + th;
                g.vLimit[idx][1] = v;
                if (idx > last) last = idx;
            }
            if (th >= PI) break;
        }
        g.vLimitLast = last;
        return;
    }
    case CP_CAM_ACC:
        sampleTravel(g.sEnd[CP_CAM_ACC], [](double s) {
            const SimState& c = sim;
            double y1, y2;
            if (s < c.camL / 2.0) {
                y1 = c.camA * s;
                y2 = c.camA;
            } else {
                y1 = c.camA * (c.camL - s);
                y2 = -c.camA;
            }
            return std::sqrt(std::fabs((y1 * c.xamax + c.yamax) / y2));
        });
        return;
    case CP_CAM_CYCLOID:
        sampleTravel(g.sEnd[CP_CAM_CYCLOID], [](double s) {
            const SimState& c = sim;
            const double y1 = (c.cycC / c.cycW) * (1.0 - std::cos(c.cycW * s));
            const double y2 = c.cycC * std::sin(c.cycW * s);
            return std::sqrt(std::fabs((y1 * c.xamax + c.yamax) / y2));
        });
        return;
    default: {  // the arc, and any other type number
        for (int i = 0; i <= LAST; ++i) {
            const double s = i * step;
            g.vLimit[i][0] = s;
            g.vLimit[i][1] = std::sqrt(circleSupply(s) / g.arcR);
            g.vLimitLast = i;
            if (s >= g.sEnd[CP_ARC]) break;
        }
        return;
    }
    }
}

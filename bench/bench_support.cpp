// Shared set-up of the benchmarks.
#include "bench_support.h"

#include <cstdio>

#include "app/keys.h"
#include "core/console.h"
#include "core/state.h"
#include "planner/prepare.h"

namespace {

void quietConsole()
{
    static FILE* devNull = std::fopen("/dev/null", "w");
    conSetStreams(devNull, nullptr);
}

// The deceleration curve into the goal at s (bwdCurve runs from the goal towards
// smaller s); false outside its range.
bool decelCurveAt(double s, double* v)
{
    const SimState& g = sim;
    for (int j = 0; j < g.bwdN; ++j) {
        const double s0 = g.bwdCurve[j + 1][0], s1 = g.bwdCurve[j][0];
        if (!(s1 > s0) || s < s0 || s > s1) continue;
        const double v0 = g.bwdCurve[j + 1][1], v1 = g.bwdCurve[j][1];
        *v = v0 + (v1 - v0) * (s - s0) / (s1 - s0);
        return true;
    }
    return false;
}

bool belowDecelCurve(const double p[2])
{
    double v = 0.0;
    return decelCurveAt(p[0], &v) && p[1] < v;
}

bool onOrAboveDecelCurve(const double p[2])
{
    double v = 0.0;
    return p[0] > sim.sEnd[sim.cpType] || (decelCurveAt(p[0], &v) && p[1] >= v);
}

// A look-ahead curve that passes from below the deceleration curve onto or above it.
bool reachesDecelCurve(const double (*curve)[2], int n)
{
    for (int j = 1; j <= n; ++j)
        if (belowDecelCurve(curve[j - 1]) && !belowDecelCurve(curve[j])) return true;
    return false;
}

}  // namespace

void prepareDefault(int type)
{
    quietConsole();
    sim = SimState{};
    initDefaults();
    sim.cpType = type;
    sim.xf = sim.cpEnd[type][0];
    sim.yf = sim.cpEnd[type][1];
    prepareSearch();
}

void prepareEntered(int type, double a, double b, double xamax, double yamax)
{
    quietConsole();
    sim = SimState{};
    initDefaults();
    SimState& g = sim;
    switch (type) {
    case CP_ARC:
        g.arcR = a;
        g.sEnd[CP_ARC] = b * DEG2RAD;
        break;
    case CP_SINE:
        g.sinL = a;
        g.sinA = b;
        break;
    case CP_U:
        g.uL = a;
        g.uR = b;
        break;
    case CP_SLALOM:
        g.slmR = a;
        g.slmN = static_cast<int>(b);
        break;
    case CP_CAM_ACC:
        g.camL = a;
        g.camH = b;
        break;
    case CP_CAM_CYCLOID:
        g.cycL = a;
        g.cycH = b;
        break;
    default:
        break;
    }
    updateTypeTables(type);
    g.xamax = xamax;
    g.yamax = yamax;
    g.cpType = type;
    g.xf = g.cpEnd[type][0];
    g.yf = g.cpEnd[type][1];
    prepareSearch();
}

bool joinByAccelerating()
{
    setFrameFunction(nullptr);
    for (int i = 0; i < 800 && sim.joinMark != 'f'; ++i) onKey('f', 0, 0);
    return sim.joinMark == 'f';
}

bool joinLongSearch(double speedCap)
{
    setFrameFunction(nullptr);
    SimState& g = sim;
    static SimState beforeJoin;  // a failed 'f' would hold the search at stepMax: tried on a copy
    unsigned char pan = 'x';
    // 0 accelerating, 1 braking onto the deceleration curve's reach, 2 accelerating
    // onto the deceleration curve, 3 braking from the speed cap to 0.8 of it.
    int phase = 0;
    for (int press = 0; press < 2 * TRAJ_CAP && g.joinMark != 'f'; ++press) {
        onKey(pan, 0, 0);
        pan = pan == 'x' ? 'X' : 'x';
        if (!g.aheadMade) return false;  // standstill: this search cannot be joined
        const int n = g.aheadFlipN;
        const double v = g.phase[g.m][1];
        if (phase == 0 && belowDecelCurve(g.aheadFlip[n])) {
            onKey('c', 0, 0);
            phase = 1;
        } else if (phase == 0 && speedCap > 0.0 && v >= speedCap) {
            onKey('c', 0, 0);
            phase = 3;
        } else if ((phase == 1 || phase == 3) && reachesDecelCurve(g.aheadFlip, n)) {
            onKey('c', 0, 0);
            phase = 2;
        } else if (phase == 3 && v <= 0.8 * speedCap) {
            onKey('c', 0, 0);
            phase = 0;
        } else if (phase == 2 && onOrAboveDecelCurve(g.phase[g.m])) {
            beforeJoin = g;
            onKey('f', 0, 0);
            if (g.joinMark != 'f') g = beforeJoin;
        }
    }
    return g.joinMark == 'f';
}

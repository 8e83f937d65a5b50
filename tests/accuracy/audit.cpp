// Time-domain audit of the final trajectory and normal CP motion against the limits.
// Reads finalXY, phase, normalAcc, vLimit, chnRec and the limits of `sim`.
#include "audit.h"

#include <cmath>
#include <limits>

#include "core/state.h"

double sampledVelocityLimit(double s)
{
    const SimState& g = sim;
    const double inf = std::numeric_limits<double>::infinity();
    double best = inf;
    // A sample point shared by two segments, or the vertical walls of the U
    // shape, take the lowest value found there.
    for (int j = 0; j < g.vLimitLast; ++j) {
        const double s0 = g.vLimit[j][0], s1 = g.vLimit[j + 1][0];
        if (!(s1 > s0) || s < s0 || s > s1) continue;
        const double v0 = g.vLimit[j][1], v1 = g.vLimit[j + 1][1];
        double v = inf;
        if (std::isfinite(v0) && std::isfinite(v1)) v = v0 + (v1 - v0) * (s - s0) / (s1 - s0);
        else if (s == s0 && std::isfinite(v0)) v = v0;
        else if (s == s1 && std::isfinite(v1)) v = v1;
        if (v < best) best = v;
    }
    return best;
}

double secondDividedDifference(double p0, double p1, double p2, double t0, double t1, double t2, double minStep)
{
    const double h1 = t1 - t0, h2 = t2 - t1;
    if (!(h1 >= minStep) || !(h2 >= minStep)) return 0.0;
    return ((p2 - p1) / h2 - (p1 - p0) / h1) / (0.5 * (h1 + h2));
}

namespace {

// Largest |acceleration| / limit of the motion pos[0..last] (x at index 0, y at 1
// of each row) sampled at TIME[0..last].
template <typename Row>
void motionAcceleration(const Row* pos, int last, double* rx, double* ry)
{
    const SimState& g = sim;
    constexpr double MIN_STEP = 1e-6;  // [s]; the rebuild and normal CP steps are >= 0.01 s
    for (int i = 1; i < last; ++i) {
        const double ax = secondDividedDifference(pos[i - 1][0], pos[i][0], pos[i + 1][0], g.TIME[i - 1], g.TIME[i],
                                                  g.TIME[i + 1], MIN_STEP);
        const double ay = secondDividedDifference(pos[i - 1][1], pos[i][1], pos[i + 1][1], g.TIME[i - 1], g.TIME[i],
                                                  g.TIME[i + 1], MIN_STEP);
        *rx = std::fmax(*rx, std::fabs(ax) / g.xamax);
        *ry = std::fmax(*ry, std::fabs(ay) / g.yamax);
    }
}

}  // namespace

TrajectoryAudit auditTrajectory()
{
    const SimState& g = sim;
    TrajectoryAudit a;
    const int mf = g.mf < TRAJ_CAP ? g.mf : TRAJ_CAP - 1;
    const int mn = g.mNormal < TRAJ_CAP ? g.mNormal : TRAJ_CAP - 1;
    for (int i = 0; i <= mf; ++i) {
        a.finalX = std::fmax(a.finalX, std::fabs(g.finalXY[i][2]) / g.xamax);
        a.finalY = std::fmax(a.finalY, std::fabs(g.finalXY[i][3]) / g.yamax);
        const double lim = sampledVelocityLimit(g.phase[i][0]);
        const double excess = g.phase[i][1] - lim;
        if (excess > a.vExcess) {
            a.vExcess = excess;
            a.vExcessAt = g.phase[i][0];
        }
    }
    for (int i = 0; i <= mn; ++i) {
        const double rx = std::fabs(g.normalAcc[i][1]) / g.xamax;
        const double ry = std::fabs(g.normalAcc[i][2]) / g.yamax;
        a.normalX = std::fmax(a.normalX, rx);
        a.normalY = std::fmax(a.normalY, ry);
        if (i <= mf) {
            a.normalXToMf = std::fmax(a.normalXToMf, rx);
            a.normalYToMf = std::fmax(a.normalYToMf, ry);
        }
    }
    motionAcceleration(g.finalXY, mf, &a.finalXMotion, &a.finalYMotion);
    motionAcceleration(g.normalXY, mn, &a.normalXMotion, &a.normalYMotion);
    a.endS = g.phase[mf][0];
    a.endV = g.phase[mf][1];
    int n = g.NCHN;
    if (n < 0) n = 0;
    if (n > REC_CAP - 1) n = REC_CAP - 1;
    a.tEndRecord = g.chnRec[n][0];
    return a;
}

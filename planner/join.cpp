// The final join: where the searched trajectory first crosses the maximum-deceleration
// curve, and its completion to standstill. Writes the trajectory tables, records, mf, tf.
#include "planner/join.h"

#include <cmath>


#include "core/state.h"
#include "path/polyline_cross.h"
#include "planner/bounds.h"
#include "planner/notices.h"
#include "planner/search.h"

namespace {

constexpr int COMPLETION_FULL = -1;
constexpr int COMPLETION_DIVERGED = -2;

// Integrates from the junction (point k0, time t0) with maximum deceleration in
// steps of dt0 (nSub sub-steps each) until ds/dt is no longer positive. With
// write set, the points go to the trajectory tables. Returns the index of the
// standstill point, COMPLETION_FULL when standstill is not reached within the
// tables, COMPLETION_DIVERGED when the braking runs away: it drives an axis
// beyond its limit (plus AXIS_TOL), that is above the velocity limit, where the
// admissible range is empty and the state can grow without bound.
int completeToRest(int k0, double t0, bool write, double* tEnd)
{
    SimState& g = sim;
    const int nSub = g.nSub > 0 ? g.nSub : 1;
    const double h = g.dt0 / nSub;
    double tt = t0;
    double y[2] = {g.phase[k0][0], g.phase[k0][1]};
    double acc[3] = {0, 0, 0};
    for (int k = k0 + 1; k <= TRAJ_LAST; ++k) {
        bool admissible = true;
        for (int q = 0; q < nSub; ++q) {
            double yNew[2];
            rkgStep(tt, h, y, yNew, acc, 2);
            y[0] = yNew[0];
            y[1] = yNew[1];
            tt += h;
            // Braking that drives an axis beyond its limit has left the region
            // under the velocity limit: from there it only runs away.
            if (!(std::fabs(acc[1]) <= g.xamax + AXIS_TOL) || !(std::fabs(acc[2]) <= g.yamax + AXIS_TOL))
                admissible = false;
        }
        if (write) {
            g.TIME[k] = tt;
            g.phase[k][0] = y[0];
            g.phase[k][1] = y[1];
            g.accTab[k][0] = acc[0];
            g.accTab[k][1] = acc[1];
            g.accTab[k][2] = acc[2];
        }
        if (!std::isfinite(y[0]) || !std::isfinite(y[1]) || !admissible) return COMPLETION_DIVERGED;
        if (!(y[1] > 0.0)) {
            *tEnd = tt;
            return k;
        }
    }
    return COMPLETION_FULL;
}

}  // namespace

bool joinFinalTrajectory()
{
    SimState& g = sim;
    int n = g.NCHN;
    if (n < 1 || n + 1 > REC_CAP - 1) return false;

    int nA = g.chnStep[n];
    if (nA > TRAJ_LAST) nA = TRAJ_LAST;
    double P[2] = {0, 0};
    int i = 0, j = 0;
    double u = 0.0, uB = 0.0;
    // A deceleration curve that ended by breaking an axis limit has its last
    // point inside that failing sub-step (on the U shape's bend exit it even
    // drops to a negative speed); the motion cannot follow that segment, so the
    // junction is searched on the admissible part of the curve only.
    int nB = g.bwdN;
    if (g.bwdStopViolated && nB > 1) nB -= 1;
    if (!polylineCross(nA, g.phase, nB, g.bwdCurve, P, &i, &j, &u, &uB)) return false;

    int k = i + 1;
    if (k + 1 > TRAJ_LAST) {
        reportJoinDoesNotFit();
        return false;
    }

    // Dry run first: a completion that would not reach standstill inside the
    // tables refuses the join and leaves everything as it was.
    const int savedSign = g.accSign;
    const double savedJunction[2] = {g.phase[k][0], g.phase[k][1]};
    g.phase[k][0] = P[0];
    g.phase[k][1] = P[1];
    // The crossing's time within its segment; the segment lasted dt unless it
    // was made before a change of the time step or ends a stopped trajectory.
    double segment = g.dt;
    if (std::fabs((g.TIME[i + 1] - g.TIME[i]) - segment) > 1e-9) segment = g.TIME[i + 1] - g.TIME[i];
    const double tJunction = g.TIME[i] + u * segment;
    g.accSign = -1;
    double tEnd = 0.0;
    const int kEnd = completeToRest(k, tJunction, false, &tEnd);
    if (kEnd < 0) {
        g.phase[k][0] = savedJunction[0];
        g.phase[k][1] = savedJunction[1];
        g.accSign = savedSign;
        if (kEnd == COMPLETION_FULL)
            reportJoinDoesNotFit();
        else
            reportJoinDiverges();
        return false;
    }

    // The motion is the searched trajectory up to the crossing, then the
    // deceleration curve: switches recorded at points past the crossing (a switch
    // made a step late) or at its time do not belong to it.
    int kept = 0;
    while (kept + 1 < n && g.chnStep[kept + 1] <= i && g.chnRec[kept + 1][0] < tJunction) ++kept;
    g.junctionIndex = k;
    g.TIME[k] = tJunction;
    g.accSign = -1;
    if (kept % 2 == 1) {
        // The trajectory was braking when it met the curve: braking goes on along
        // it, so the crossing is no switch and the end record follows the last one.
        n = kept;
        phaseRhs(1, g.t, g.phase[k], g.accTab[k]);
    } else {
        // Junction: the last switching record, with the accelerations after the switch.
        n = kept + 1;
        g.chnStep[n] = k;
        g.chnRec[n][0] = g.TIME[k];
        g.chnRec[n][1] = P[0];
        g.chnRec[n][2] = P[1];
        phaseRhs(1, g.t, g.phase[k], g.accTab[k]);
        g.chnRec[n][3] = g.accTab[k][1];
        g.chnRec[n][4] = g.accTab[k][2];
    }

    // Completion with maximum deceleration in steps of dt0.
    g.t = g.TIME[k];
    k = completeToRest(k, g.t, true, &tEnd);
    g.t = tEnd;

    // End record.
    n += 1;
    g.NCHN = n;
    g.chnStep[n] = k;
    g.mf = k;

    // Time of the stop by linear interpolation over the last step.
    const double v0 = g.phase[k - 1][1];
    const double v1 = g.phase[k][1];
    const double f = (v0 - v1) > 0.0 ? g.dt0 * v0 / (v0 - v1) : g.dt0;
    g.tf = g.t - g.dt0 + f;
    g.TIME[k] = g.tf;
    g.chnRec[n][0] = g.tf;
    const double s0 = g.phase[k - 1][0];
    const double s1 = g.phase[k][0];
    g.phase[k][0] = s0 + (s1 - s0) * f / g.dt0;
    g.phase[k][1] = v0 + (v1 - v0) * f / g.dt0;
    g.chnRec[n][1] = g.phase[k][0];
    g.chnRec[n][2] = g.phase[k][1];

    g.accSign = -1;
    phaseRhs(1, g.t, g.phase[k], g.accTab[k]);
    g.chnRec[n][3] = g.accTab[k][1];
    g.chnRec[n][4] = g.accTab[k][2];
    return true;
}

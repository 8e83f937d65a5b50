// Reconstruction of the final minimum-time trajectory from the switching records,
// with robot positions and axis accelerations. Writes phase, TIME, accTab, finalXY, mf.
#include "planner/rebuild.h"

#include <cmath>

#include "core/clamp_check.h"
#include "core/state.h"
#include "path/curves.h"
#include "planner/bounds.h"
#include "planner/join.h"
#include "planner/normal_cp.h"
#include "planner/notices.h"

namespace {

constexpr double TIME_TOL = 1e-9;  // two times closer than this are the same [s]

// One step of the rebuilt motion from y over h with the sign in force, in nSub
// sub-steps; a sub-step that would bring ds/dt below zero ends at its zero.
// t advances by the time actually integrated.
void brakeOrAccelerate(double* t, double h, int nSub, double y[2], double acc[3])
{
    const double hs = h / nSub;
    double tau = *t;
    for (int k = 0; k < nSub; ++k) {
        const double x[2] = {y[0], y[1]};
        rkgStep(tau, hs, x, y, acc, 2);
        tau += hs;
        if (y[1] < 0.0) {
            // Cut the sub-step at the zero of the velocity.
            const double f = hs * x[1] / (x[1] - y[1]);
            tau = tau - hs + f;
            y[0] = x[0] + (y[0] - x[0]) * f / hs;
            if (y[0] < x[0]) y[0] = x[0];  // rounding never runs the motion back
            y[1] = 0.0;
            break;
        }
    }
    *t = tau;
}

}  // namespace

void rebuildFinalTrajectory()
{
    SimState& g = sim;
    const int nSub = g.nSub > 0 ? g.nSub : 1;
    double acc[3] = {0, 0, 0};

    g.accSign = +1;
    g.t = 0.0;
    g.TIME[0] = 0.0;
    g.phase[0][0] = g.phase[0][1] = 0.0;
    g.finalXY[0][0] = g.cpStart[g.cpType][0];
    g.finalXY[0][1] = g.cpStart[g.cpType][1];
    phaseRhs(1, 0.0, g.phase[0], acc);
    g.finalXY[0][2] = acc[1];
    g.finalXY[0][3] = acc[2];
    // The start point's accelerations come from the rebuilt motion alone, not
    // from whatever the search last wrote there.
    g.accTab[0][0] = acc[0];
    g.accTab[0][1] = acc[1];
    g.accTab[0][2] = acc[2];
    g.mf = 0;

    int nRec = g.NCHN;
    if (nRec > REC_CAP - 1) {
        UNEXPECTED_CLAMP("switching records beyond their table");
        nRec = REC_CAP - 1;
    }
    for (int b = 1; b <= nRec; ++b) {
        // The last interval ends the motion at rest at the goal: it brakes along
        // the deceleration curve, which was computed backward from the goal.
        // Integrating that braking forward instead would be unstable where the
        // curve falls steeply and could stop short of the goal.
        const bool toGoal = b == nRec && std::fabs(g.chnRec[b][1] - g.sEnd[g.cpType]) <= TIME_TOL &&
                            g.chnRec[b][2] == 0.0;
        // e equal steps of dt that span the recorded interval exactly.
        const double span = g.chnRec[b][0] - g.chnRec[b - 1][0];
        double eReal = std::trunc(span / g.dt0);
        if (!(eReal > 0.0)) eReal = 0.0;  // shorter than dt0, negative or not a number
        // The last interval always reaches its end record, however short.
        if (toGoal && eReal < 1.0 && span > 0.0) eReal = 1.0;
        int e = eReal > TRAJ_LAST ? TRAJ_LAST : static_cast<int>(eReal);
        // An interval of no step keeps dt finite; no step uses it.
        g.dt = e > 0 ? span / e : g.dt0;
        if (e > TRAJ_LAST - g.mf) {
            e = TRAJ_LAST - g.mf;
            reportTableFull();
        }

        g.phase[g.mf][0] = g.chnRec[b - 1][1];
        g.phase[g.mf][1] = g.chnRec[b - 1][2];
        // An interval shorter than dt0 adds no point; the clock then goes on
        // from the record's own time, so that the motion ends at tf.
        if (std::fabs(g.t - g.chnRec[b - 1][0]) > TIME_TOL) {
            g.t = g.chnRec[b - 1][0];
            if (g.mf > 0) g.TIME[g.mf] = g.t;
        }
        const double tStart = g.t;

        for (int q = 1; q <= e; ++q) {
            double y[2] = {g.phase[g.mf][0], g.phase[g.mf][1]};
            // On the deceleration curve: the point sigma before the end record.
            const double sigma = q == e ? 0.0 : g.chnRec[b][0] - (tStart + q * g.dt);
            if (toGoal && decelerationCurveAt(sigma, y, acc)) {
                g.t = q == e ? g.chnRec[b][0] : tStart + q * g.dt;
            } else {
                brakeOrAccelerate(&g.t, g.dt, nSub, y, acc);
            }
            g.mf += 1;
            g.TIME[g.mf] = g.t;
            g.phase[g.mf][0] = y[0];
            g.phase[g.mf][1] = y[1];
            double P[2];
            cpPoint(y[0], P);
            g.finalXY[g.mf][0] = P[0];
            g.finalXY[g.mf][1] = P[1];
            phaseRhs(1, g.t, y, acc);
            g.accTab[g.mf][1] = acc[1];
            g.accTab[g.mf][2] = acc[2];
            g.finalXY[g.mf][2] = acc[1];
            g.finalXY[g.mf][3] = acc[2];
        }

        // The point at a switch carries the accelerations just after it.
        g.accSign = -g.accSign;
        phaseRhs(1, g.t, g.phase[g.mf], g.accTab[g.mf]);
        g.finalXY[g.mf][2] = g.accTab[g.mf][1];
        g.finalXY[g.mf][3] = g.accTab[g.mf][2];
        if (b == nRec) {  // the end of the motion: the axes come to rest
            // A motion integrated forward to rest reaches zero within its last
            // sub-step, a hair before the recorded end; it rests there until
            // then, so its last point carries the time of the end record.
            if (g.mf > 0 && std::fabs(g.TIME[g.mf] - g.chnRec[b][0]) < g.dt0) {
                g.TIME[g.mf] = g.chnRec[b][0];
                g.t = g.TIME[g.mf];
            }
            g.accTab[g.mf][1] = g.accTab[g.mf][2] = 0.0;
            g.finalXY[g.mf][2] = g.finalXY[g.mf][3] = 0.0;
            g.chnRec[b][3] = g.chnRec[b][4] = 0.0;
        }
    }

    computeNormalCP();
}

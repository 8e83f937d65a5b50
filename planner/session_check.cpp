// The check of an ended key session against the goal and the optimum.
#include "planner/session_check.h"

#include <cmath>

#include "core/state.h"
#include "planner/optimum.h"

namespace {

// A motion rests at the goal when its last point is this close to it (s and ds/dt).
constexpr double GOAL_TOL = 1e-9;

}  // namespace

SessionCheck checkSession()
{
    const SimState& g = sim;
    SessionCheck c;
    c.ended = g.endMark == 'e';
    if (!c.ended) return c;
    int nchn = g.NCHN;
    if (nchn < 0) nchn = 0;
    if (nchn > REC_CAP - 1) nchn = REC_CAP - 1;
    int mf = g.mf;
    if (mf < 0) mf = 0;
    if (mf > TRAJ_LAST) mf = TRAJ_LAST;
    const double sEnd = g.sEnd[g.cpType >= 0 && g.cpType < TYPE_CAP ? g.cpType : 0];
    c.tf = g.chnRec[nchn][0];
    c.sLast = g.phase[mf][0];
    c.vLast = g.phase[mf][1];
    c.atGoal = std::fabs(c.sLast - sEnd) <= GOAL_TOL && std::fabs(c.vLast) <= GOAL_TOL &&
               std::fabs(g.chnRec[nchn][1] - sEnd) <= GOAL_TOL && std::fabs(g.chnRec[nchn][2]) <= GOAL_TOL &&
               std::fabs(g.TIME[mf] - c.tf) <= GOAL_TOL;
    c.notFaster = !(optimum.ok && optimum.tf > 0.0) || c.tf >= optimum.tf * (1.0 - OPTIMUM_REL_TOL) - SESSION_ABS_TOL;
    return c;
}

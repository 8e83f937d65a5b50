// The phase-plane search: the reset, one step per frame (searching, joined playback,
// ended playback) and the end of the search. Owns the search state and trajectory tables.
#include "planner/search.h"

#include <cmath>

#include "app/console.h"
#include "app/state.h"
#include "planner/bounds.h"
#include "planner/rebuild.h"
#include "planner/switch_report.h"

namespace {

constexpr int TRAJ_LAST = TRAJ_CAP - 1;  // 2000: the last trajectory index

// Advances m by one, never past the trajectory tables' last entry. At the end
// of the tables the last point is recomputed in place (as 's' does at its clamp).
void advanceM()
{
    SimState& g = sim;
    if (g.m < 0) g.m = 0;
    g.m += 1;
    if (g.m > TRAJ_LAST) {
        g.m = TRAJ_LAST;
        reportTableFull();
    }
}

// One look-ahead curve from phase[m] into curve, single steps of dt0 with the
// clock held; returns its last index. Stops, in this order, when an axis exceeds
// its limit (plus AXIS_TOL), the velocity turns negative or s passes the end; the
// point that stopped it stays on the curve. At most stepMax steps.
int lookAhead(double (*curve)[2])
{
    SimState& g = sim;
    curve[0][0] = g.phase[g.m][0];
    curve[0][1] = g.phase[g.m][1];
    int steps = g.stepMax;
    if (steps > TRAJ_LAST) steps = TRAJ_LAST;
    int n = 0;
    for (int j = 0; j < steps; ++j) {
        rkgStep(g.t, g.dt0, curve[j], curve[j + 1], g.accNow, 2);
        n = j + 1;
        if (std::fabs(g.accNow[1]) > g.xamax + AXIS_TOL) break;
        if (std::fabs(g.accNow[2]) > g.yamax + AXIS_TOL) break;
        if (curve[j + 1][1] < 0.0) break;
        if (curve[j + 1][0] > g.sEnd[g.cpType]) break;
    }
    return n;
}

// Joined playback, or a searching step whose velocity became non-positive:
// one more point of the trajectory is shown; reaching mf of a joined
// trajectory ends the search (finishSearch, after the frame is presented).
void playbackStep()
{
    SimState& g = sim;
    advanceM();
    if (g.m == g.mf || (g.joinMark == 'f' && g.m > g.mf)) {
        if (g.m > g.mf) g.m = g.mf;
        g.finishPending = true;
    }
}

}  // namespace

void resetSearch()
{
    SimState& g = sim;
    g.mNormal = 0;
    g.mf = 0;
    g.m = 0;
    g.TIME[0] = 0.0;
    g.t = g.TIME[0];
    g.dt = g.dt0;
    g.endMark = '0';
    g.joinMark = '0';
    g.accSign = +1;
    g.NCHN = 0;
    g.chnStep[0] = 0;

    int clear = g.stepMax;
    if (clear > TRAJ_CAP) clear = TRAJ_CAP;
    for (int i = 0; i < clear; ++i) {
        g.accTab[i][0] = g.accTab[i][1] = g.accTab[i][2] = 0.0;
        g.phase[i][0] = g.phase[i][1] = 0.0;
        g.TIME[i] = 0.0;
    }

    g.nctRec[0][0] = g.nctRec[0][1] = g.nctRec[0][2] = 0.0;
    g.chnRec[0][0] = g.chnRec[0][1] = g.chnRec[0][2] = 0.0;
    g.phase[0][0] = g.phase[0][1] = 0.0;
    phaseRhs(1, g.t, g.phase[0], g.accTab[0]);
    g.chnRec[0][3] = g.accTab[0][1];
    g.chnRec[0][4] = g.accTab[0][2];

    g.aheadMade = false;
    g.aheadSameN = g.aheadFlipN = 0;
    g.finishPending = false;
    g.playK = 0;
    g.tableFullShown = false;
    g.recordsFullShown = false;
}

void runSearchStep()
{
    SimState& g = sim;
    g.aheadMade = false;

    if (g.endMark == 'e') {
        // Playback of the final motion: the minimum-time robot stops at mf,
        // normal CP motion goes on to mNormal.
        advanceM();
        g.playK = g.m < g.mf ? g.m : g.mf;
        if (g.m > g.mNormal) g.m = g.mNormal;
        return;
    }

    if (g.joinMark == 'f') {
        playbackStep();
        return;
    }

    // Searching: one trajectory point of dt in nSub Runge-Kutta-Gill sub-steps.
    advanceM();
    const int nSub = g.nSub > 0 ? g.nSub : 1;
    const double h = g.dt / nSub;
    double y[2] = {g.phase[g.m - 1][0], g.phase[g.m - 1][1]};
    for (int k = 0; k < nSub; ++k) {
        double yNew[2];
        rkgStep(g.t, h, y, yNew, g.accNow, 2);
        y[0] = yNew[0];
        y[1] = yNew[1];
        g.t += h;
    }
    g.phase[g.m][0] = y[0];
    g.phase[g.m][1] = y[1];
    g.accTab[g.m][0] = g.accNow[0];
    g.accTab[g.m][1] = g.accNow[1];
    g.accTab[g.m][2] = g.accNow[2];
    g.TIME[g.m] = g.t;

    if (!(y[1] > 0.0)) {  // standstill or reversal: no look-ahead, one more point shown
        playbackStep();
        return;
    }

    g.aheadSameN = lookAhead(g.aheadSame);
    g.accSign = -g.accSign;
    g.aheadFlipN = lookAhead(g.aheadFlip);
    g.accSign = -g.accSign;
    g.aheadMade = true;
}

void finishSearch()
{
    SimState& g = sim;
    if (!g.finishPending) return;
    g.finishPending = false;

    rebuildFinalTrajectory();  // also computes normal CP motion
    conPrintf("\n\n位相平面上の軌道探索終了");
    conPrintf("\n通常のCP制御位置決め時間 tf=%7.4f[s]", g.tfNormal);
    conPrintf("\n最短時間制御位置決め時間 tf=%7.4f[s]", g.tf);
    g.NCT = reportSwitches(g.mf);
    g.m = 0;
    g.playK = 0;
    g.endMark = 'e';
}

int trajectoryPlotLast()
{
    const int m = sim.m;
    if (m < 0) return 0;
    return m > TRAJ_LAST ? TRAJ_LAST : m;
}

void refreshGoalTime()
{
    SimState& g = sim;
    int n = g.NCHN;
    if (n < 0) n = 0;
    if (n > REC_CAP - 1) n = REC_CAP - 1;
    g.tf = g.chnRec[n][0];
}

void reportTableFull()
{
    SimState& g = sim;
    if (g.tableFullShown) return;
    g.tableFullShown = true;
    conPrintf("\n※ 軌道の表(2001点)が一杯になりました。ここで打ち切ります");
}

void reportRecordsFull()
{
    SimState& g = sim;
    if (g.recordsFullShown) return;
    g.recordsFullShown = true;
    conPrintf("\n※ 切り替え点の表(30点)が一杯です。これ以上切り替えできません");
}

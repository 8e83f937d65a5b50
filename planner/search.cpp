// The phase-plane search: the reset, one step per frame (searching, joined playback,
// ended playback) and the end of the search. Owns the search state and trajectory tables.
#include "planner/search.h"

#include <cmath>

#include "core/clamp_check.h"
#include "core/console.h"
#include "core/state.h"
#include "planner/bounds.h"
#include "planner/notices.h"
#include "planner/rebuild.h"
#include "planner/switch_report.h"

namespace {

// Entry to := entry from in the trajectory tables (point, time, accelerations).
void copyPoint(int from, int to)
{
    SimState& g = sim;
    g.phase[to][0] = g.phase[from][0];
    g.phase[to][1] = g.phase[from][1];
    g.TIME[to] = g.TIME[from];
    g.accTab[to][0] = g.accTab[from][0];
    g.accTab[to][1] = g.accTab[from][1];
    g.accTab[to][2] = g.accTab[from][2];
}

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
        if (!std::isfinite(curve[j + 1][0]) || !std::isfinite(curve[j + 1][1])) {
            n = j;  // a point that is not a number is not drawn: the curve ends before it
            break;
        }
        if (std::fabs(g.accNow[1]) > g.xamax + AXIS_TOL) break;
        if (std::fabs(g.accNow[2]) > g.yamax + AXIS_TOL) break;
        if (curve[j + 1][1] < 0.0) {
            // The look-ahead ends where braking brings ds/dt to zero.
            const double f = curve[j][1] / (curve[j][1] - curve[j + 1][1]);
            curve[j + 1][0] = curve[j][0] + (curve[j + 1][0] - curve[j][0]) * f;
            if (curve[j + 1][0] < curve[j][0]) curve[j + 1][0] = curve[j][0];
            curve[j + 1][1] = 0.0;
            break;
        }
        if (curve[j + 1][0] > g.sEnd[g.cpType]) break;
    }
    return n;
}

// Joined playback: one more point of the joined trajectory is shown; reaching
// its last point mf ends the search (finishSearch, after the frame is presented).
void playbackStep()
{
    SimState& g = sim;
    advanceM();
    if (g.m == g.mf) g.finishPending = true;
}

// A searching step that brought the trajectory to rest (or reversed it): the
// entry after that point repeats it, so the red curve ends where the motion
// ended, and the search waits for 't', 'r', 'c', '0' or a join. 't' then goes
// back to the point before the failed step and redoes it with a smaller step.
void stopSearch()
{
    SimState& g = sim;
    const int last = g.m;
    advanceM();
    if (g.m != last) copyPoint(last, g.m);
    g.searchStopped = true;
}

// One point of the search: dt in nSub Runge-Kutta-Gill sub-steps from y.
// False when a sub-step leaves the admissible region (an axis beyond its limit
// plus AXIS_TOL: the trajectory has crossed the velocity limit, where neither
// sign has an admissible acceleration) or stops being a finite number.
bool integrateStep(double y[2])
{
    SimState& g = sim;
    const int nSub = g.nSub > 0 ? g.nSub : 1;
    const double h = g.dt / nSub;
    for (int k = 0; k < nSub; ++k) {
        const double x[2] = {y[0], y[1]};
        double yNew[2];
        rkgStep(g.t, h, x, yNew, g.accNow, 2);
        y[0] = yNew[0];
        y[1] = yNew[1];
        g.t += h;
        if (!std::isfinite(y[0]) || !std::isfinite(y[1]) || !std::isfinite(g.accNow[0])) return false;
        if (!(std::fabs(g.accNow[1]) <= g.xamax + AXIS_TOL)) return false;
        if (!(std::fabs(g.accNow[2]) <= g.yamax + AXIS_TOL)) return false;
        if (y[1] < 0.0) {
            // Braking that reaches ds/dt = 0 ends there: the sub-step is cut at
            // the zero of the velocity (as the rebuild cuts it), so that no point
            // has a negative speed and the motion never runs back.
            const double f = h * x[1] / (x[1] - y[1]);
            g.t = g.t - h + f;
            y[0] = x[0] + (y[0] - x[0]) * f / h;
            if (y[0] < x[0]) y[0] = x[0];  // rounding never runs the motion back
            y[1] = 0.0;
            phaseRhs(1, g.t, y, g.accNow);
            return true;
        }
    }
    return true;
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
    resetNotices();
    g.searchStopped = false;
    g.junctionIndex = 0;
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

    // A stopped trajectory gets no new point: stepping on from a point at rest,
    // or from beyond the velocity limit, would only make a meaningless curve.
    if (g.searchStopped) return;

    // Searching: one trajectory point of dt in nSub Runge-Kutta-Gill sub-steps.
    const int mBefore = g.m;
    const double tBefore = g.t;
    advanceM();
    double y[2] = {g.phase[g.m - 1][0], g.phase[g.m - 1][1]};
    if (!integrateStep(y)) {
        // The step would leave the admissible region: no new point. The
        // trajectory ends at its last point, with the clock at its time, so
        // that 'c' switches there and 'r' one point before it.
        g.m = mBefore;
        g.t = tBefore;
        g.searchStopped = true;
        reportLimitCrossed();
        return;
    }
    g.phase[g.m][0] = y[0];
    g.phase[g.m][1] = y[1];
    g.accTab[g.m][0] = g.accNow[0];
    g.accTab[g.m][1] = g.accNow[1];
    g.accTab[g.m][2] = g.accNow[2];
    g.TIME[g.m] = g.t;

    if (!(y[1] > 0.0)) {  // standstill or reversal: no look-ahead, the trajectory ends here
        stopSearch();
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
    if (n < 0 || n > REC_CAP - 1) {
        UNEXPECTED_CLAMP("switching record count outside its table");
        n = n < 0 ? 0 : REC_CAP - 1;
    }
    g.tf = g.chnRec[n][0];
}

// ---- Switching records ----
// Records 1..NCHN lie at strictly increasing points of the trajectory on the
// screen (chnStep) and times, and their number is even exactly when accSign is
// +1: each one is a change of sign of the trajectory that was computed.

namespace {

// A record of the switch at point m with the sign now in force, at time tRec.
void appendRecord(int m, double tRec)
{
    SimState& g = sim;
    g.NCHN += 1;
    g.chnStep[g.NCHN] = m;
    g.chnRec[g.NCHN][0] = tRec;
    g.chnRec[g.NCHN][1] = g.phase[m][0];
    g.chnRec[g.NCHN][2] = g.phase[m][1];
    phaseRhs(1, tRec, g.phase[m], g.accTab[m]);
    g.chnRec[g.NCHN][3] = g.accTab[m][1];
    g.chnRec[g.NCHN][4] = g.accTab[m][2];
}

}  // namespace

void trimRecords(int mNew)
{
    SimState& g = sim;
    if (mNew < 0) mNew = 0;
    if (mNew > TRAJ_LAST) mNew = TRAJ_LAST;
    if (g.NCHN > REC_CAP - 1) {
        UNEXPECTED_CLAMP("switching record count beyond its table");
        g.NCHN = REC_CAP - 1;
    }
    while (g.NCHN >= 1 && g.chnStep[g.NCHN] > mNew) g.NCHN -= 1;
    const int implied = (g.NCHN % 2 == 0) ? +1 : -1;
    if (implied == g.accSign) return;
    if (mNew == 0) {
        // From rest only acceleration moves: the start keeps +1.
        g.accSign = +1;
        restoreStartPoint();
    } else if (g.NCHN >= 1 && g.chnStep[g.NCHN] == mNew) {
        g.NCHN -= 1;  // the kept sign undoes the switch made at this very point
    } else if (g.NCHN + 1 <= REC_CAP - 1) {
        appendRecord(mNew, g.TIME[mNew]);  // the steps from mNew on keep the sign of the dropped switch
    } else {
        g.accSign = implied;
    }
}

bool switchAtPoint(int m)
{
    SimState& g = sim;
    if (m <= 0) return false;  // at the start the motion can only accelerate
    if (m > TRAJ_LAST) {
        UNEXPECTED_CLAMP("switch beyond the trajectory tables");
        m = TRAJ_LAST;
    }
    // The clock is the time of point m except after a step that failed; then
    // the record takes the point's own time.
    double tRec = g.t;
    if (std::fabs(tRec - g.TIME[m]) > 1e-9) {
        tRec = g.TIME[m];
        g.t = tRec;
    }
    if (g.NCHN >= 1 && (g.chnStep[g.NCHN] == m || g.chnRec[g.NCHN][0] >= tRec - 1e-9)) {
        // A second switch at the point of the last one takes it back.
        g.NCHN -= 1;
        g.accSign = -g.accSign;
        phaseRhs(1, g.t, g.phase[m], g.accTab[m]);
        return true;
    }
    // A join still needs two records (junction and end) after this one.
    if (g.NCHN + 1 > REC_CAP - 3) {
        reportRecordsFull();
        return false;
    }
    g.accSign = -g.accSign;
    appendRecord(m, tRec);
    return true;
}

void restoreStartPoint()
{
    SimState& g = sim;
    const int sign = g.accSign;
    g.accSign = +1;
    phaseRhs(1, 0.0, g.phase[0], g.accTab[0]);
    g.chnRec[0][3] = g.accTab[0][1];
    g.chnRec[0][4] = g.accTab[0][2];
    g.accSign = sign;
}

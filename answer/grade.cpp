// Replay of a key session through onKey and the compute-only frame, and its grade.
// Drives the search state of `sim` like the window; reads `optimum` for the grade.
#include "answer/grade.h"

#include <cmath>

#include "answer/args.h"
#include "app/keys.h"
#include "core/console.h"
#include "core/messages.h"
#include "core/state.h"
#include "planner/optimum.h"
#include "planner/session_check.h"

namespace {

long framesComputed = 0;

// The switching records as they were before the join that ended the search:
// those pressed after the junction were given up by the join but are graded too.
double pressedRec[REC_CAP][5] = {};
int pressedN = 0;

// The window's display routine without the picture: the same planner work per frame.
void countedFrame()
{
    ++framesComputed;
    computeFrame();
}

// A difference as the four decimals show it: one that rounds to zero prints as +0.0000.
double shown(double v) { return std::fabs(v) < 5e-5 ? 0.0 : v; }

// The kind of optimal switch that a session record i is: odd records turn
// acceleration into braking, even ones braking into acceleration.
bool sameKind(int record, int optKind)
{
    if (record % 2 == 1) return optKind == OPT_ACC_TO_BRAKE;
    return optKind == OPT_BRAKE_TO_ACC || optKind == OPT_ALONG_LIMIT;
}

// Last index of the session's motion: the rebuilt one after the end, else the searched one.
int motionLast()
{
    int n = sim.endMark == 'e' ? sim.mf : sim.m;
    if (n > TRAJ_LAST) n = TRAJ_LAST;
    return n < 0 ? 0 : n;
}

// First time at which the session's motion reaches path parameter s; false when it never does.
bool sessionTimeAt(double s, double* t)
{
    const SimState& g = sim;
    const int n = motionLast();
    if (g.phase[0][0] >= s) {
        *t = g.TIME[0];
        return true;
    }
    for (int k = 1; k <= n; ++k) {
        if (g.phase[k][0] >= s) {
            const double ds = g.phase[k][0] - g.phase[k - 1][0];
            const double f = ds > 0.0 ? (s - g.phase[k - 1][0]) / ds : 1.0;
            *t = g.TIME[k - 1] + f * (g.TIME[k] - g.TIME[k - 1]);
            return true;
        }
    }
    return false;
}

// Time at which the optimal motion passes path parameter s (its profile rises in s).
double optimumTimeAt(double s)
{
    const int n = optimum.nProfile < OPT_PROFILE_CAP ? optimum.nProfile : OPT_PROFILE_CAP - 1;
    if (n <= 0 || s <= optimum.profile[0][0]) return optimum.profile[0][2];
    int lo = 0, hi = n;
    if (s >= optimum.profile[n][0]) return optimum.profile[n][2];
    while (hi - lo > 1) {
        const int mid = (lo + hi) / 2;
        if (optimum.profile[mid][0] <= s)
            lo = mid;
        else
            hi = mid;
    }
    const double ds = optimum.profile[hi][0] - optimum.profile[lo][0];
    const double f = ds > 0.0 ? (s - optimum.profile[lo][0]) / ds : 0.0;
    return optimum.profile[lo][2] + f * (optimum.profile[hi][2] - optimum.profile[lo][2]);
}

void printSwitchBeside(int i, const double rec[5])
{
    conPrintf("\nt%d=%7.4f S[]=(%7.4f %7.4f)", i, rec[0], rec[1], rec[2]);
    if (optimum.nSwitch <= 0) {
        conPrintf("  最適解に切り替え点はありません");
        return;
    }
    const int k = nearestOptimalSwitch(rec[0], i);
    if (k < 0) {
        conPrintf("  最適解に同じ種類の切り替え点はありません");
        return;
    }
    const OptSwitch& o = optimum.sw[k];
    conPrintf("  最適解 t%d=%7.4f S[]=(%7.4f %7.4f)  Δt=%+7.4f[s] Δs=%+7.4f", k + 1, o.t, o.s, o.v,
              shown(switchDelay(rec[0], rec[1], o)), shown(rec[1] - o.s));
}

// Switching records first..last of the session, each beside the nearest optimal switch.
void printSwitches(int first, int last)
{
    if (last > REC_CAP - 1) last = REC_CAP - 1;
    if (last < first) {
        conPrintf("\n(キー操作に切り替え点はありません)");
        return;
    }
    conPrintf("\n切り替え点と同じ種類で時刻の最も近い最適解の切り替え点 (Δt = 同じ s で測った遅れ、Δs = キー操作 - 最適解)");
    for (int i = first; i <= last; ++i) printSwitchBeside(i, sim.chnRec[i]);
}

// The switches pressed before the join that the join gave up (they lay past the junction).
void printGivenUp(int kept)
{
    bool header = false;
    for (int i = 1; i <= pressedN && i < REC_CAP; ++i) {
        const bool same = i <= kept && pressedRec[i][0] == sim.chnRec[i][0] && pressedRec[i][1] == sim.chnRec[i][1];
        if (same) continue;
        if (!header) {
            conPrintf("\n最終軌道へ乗せたとき使われなかった切り替え点 (接続点より後に押したもの)");
            header = true;
        }
        printSwitchBeside(i, pressedRec[i]);
    }
}

}  // namespace

double switchDelay(double t, double s, const OptSwitch& o)
{
    if (s >= o.s) {
        // Late (or on time): how long the session ran on past the optimal switch point.
        double tAt = 0.0;
        if (sessionTimeAt(o.s, &tAt)) return t - tAt;
        return t - o.t;
    }
    // Early: how long the optimum runs on from the session's switch point to its own.
    return optimumTimeAt(s) - o.t;
}

int nearestOptimalSwitch(double t, int record)
{
    int best = -1;
    double bestDist = 0.0;
    const int n = optimum.nSwitch < OPT_SWITCH_CAP ? optimum.nSwitch : OPT_SWITCH_CAP;
    for (int k = 0; k < n; ++k) {
        if (!sameKind(record, optimum.sw[k].kind)) continue;
        const double d = std::fabs(optimum.sw[k].t - t);
        if (best < 0 || d < bestDist) {
            best = k;
            bestDist = d;
        }
    }
    return best;
}

ReplayOutcome replaySession(const KeySession& keys)
{
    ReplayOutcome r;
    framesComputed = 0;
    pressedN = 0;
    setFrameFunction(countedFrame);
    if (keys.firstShowing) countedFrame();  // the window's first showing
    const int nRuns = keys.nRuns < KEY_RUN_CAP ? keys.nRuns : KEY_RUN_CAP;
    for (int i = 0; i < nRuns; ++i) {
        const KeyRun& run = keys.run[i];
        // Counts are bounded by KEY_PRESS_MAX when the session is parsed.
        for (long c = 0; c < run.count && c < KEY_PRESS_MAX; ++c) {
            const bool searching = sim.joinMark != 'f' && sim.endMark != 'e';
            if (searching && run.key == 'f') {
                // The records as pressed, should this 'f' join and give some up.
                int n = sim.NCHN < REC_CAP - 1 ? sim.NCHN : REC_CAP - 1;
                if (n < 0) n = 0;
                for (int i = 0; i <= n; ++i)
                    for (int q = 0; q < 5; ++q) pressedRec[i][q] = sim.chnRec[i][q];
                pressedN = n;
            }
            onKey(run.key, 0, 0);
            ++r.presses;
        }
    }
    setFrameFunction(nullptr);
    r.frames = framesComputed;
    r.ended = sim.endMark == 'e';
    return r;
}

bool printGrade(const ReplayOutcome& r)
{
    const SimState& g = sim;
    conPrintf("\n\n/*************** キー操作の採点 ************************************/");
    conPrintf("\nキー操作 %ld 回、描画 %ld 回(窓の最初の表示を含む)", r.presses, r.frames);
    int nchn = g.NCHN;
    if (nchn < 0) nchn = 0;
    if (nchn > REC_CAP - 1) nchn = REC_CAP - 1;
    bool sound = true;
    if (r.ended) {
        const SessionCheck c = checkSession();
        const double tfKeys = c.tf;
        conPrintf("\nキー操作の位置決め時間 tf=%7.4f[s]  最適解 tf=%7.4f[s]", tfKeys, optimum.tf);
        if (!c.atGoal) {
            sound = false;
            conPrintf("\n※ 採点できません: キー操作の運動が経路の終点で止まっていません(最後の点 S[]=(%7.4f %7.4f)、終点 s=%7.4f)",
                      c.sLast, c.vLast, g.sEnd[g.cpType]);
        } else if (!c.notFaster) {
            sound = false;
            conPrintf("\n※ 採点できません: キー操作の位置決め時間が最適解より短く、計算の許容誤差を越えています(計算の誤りです)");
        } else if (optimum.ok && optimum.tf > 0.0) {
            // Within the tolerance a motion as fast as the optimum differs by nothing.
            const double d = tfKeys > optimum.tf ? tfKeys - optimum.tf : 0.0;
            const double pct = d / optimum.tf * 100.0;
            conPrintf("\n最適解との差 %+7.4f[s] (%+.2f%%)", shown(d), pct < 5e-3 ? 0.0 : pct);
        }
        printSwitches(1, nchn - 1);  // the junction included, the end record not
        printGivenUp(nchn - 1);
    } else {
        int m = g.m;
        if (m < 0) m = 0;
        if (m > TRAJ_CAP - 1) m = TRAJ_CAP - 1;
        conPrintf("\nキー操作は軌道探索の終わりまで届いていません%s",
                  g.joinMark == 'f' ? tr("(最終軌道へ乗せた後の再生の途中)") : "");
        conPrintf("\n止まった所 m=%d t=%7.4f[s] S[]=(%7.4f %7.4f)", g.m, g.TIME[m], g.phase[m][0], g.phase[m][1]);
        printSwitches(1, nchn);
    }
    conPrintf("\n/**************** 採点終わり ***************************************/");
    conPrintf("\n");
    return sound;
}

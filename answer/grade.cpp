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

namespace {

long framesComputed = 0;

// The window's display routine without the picture: the same planner work per frame.
void countedFrame()
{
    ++framesComputed;
    computeFrame();
}

// A difference as the four decimals show it: one that rounds to zero prints as +0.0000.
double shown(double v) { return std::fabs(v) < 5e-5 ? 0.0 : v; }

void printSwitchBeside(int i, const double rec[5])
{
    conPrintf("\nt%d=%7.4f S[]=(%7.4f %7.4f)", i, rec[0], rec[1], rec[2]);
    const int k = nearestOptimalSwitch(rec[1]);
    if (k < 0) {
        conPrintf("  最適解に切り替え点はありません");
        return;
    }
    const OptSwitch& o = optimum.sw[k];
    conPrintf("  最適解 t%d=%7.4f S[]=(%7.4f %7.4f)  Δt=%+7.4f[s] Δs=%+7.4f", k + 1, o.t, o.s, o.v, shown(rec[0] - o.t),
              shown(rec[1] - o.s));
}

// Switching records first..last of the session, each beside the nearest optimal switch.
void printSwitches(int first, int last)
{
    if (last > REC_CAP - 1) last = REC_CAP - 1;
    if (last < first) {
        conPrintf("\n(キー操作に切り替え点はありません)");
        return;
    }
    conPrintf("\n切り替え点と最も近い最適解の切り替え点 (Δ = キー操作 - 最適解)");
    for (int i = first; i <= last; ++i) printSwitchBeside(i, sim.chnRec[i]);
}

}  // namespace

int nearestOptimalSwitch(double s)
{
    int best = -1;
    double bestDist = 0.0;
    const int n = optimum.nSwitch < OPT_SWITCH_CAP ? optimum.nSwitch : OPT_SWITCH_CAP;
    for (int k = 0; k < n; ++k) {
        const double d = std::fabs(optimum.sw[k].s - s);
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
    setFrameFunction(countedFrame);
    if (keys.firstShowing) countedFrame();  // the window's first showing
    const int nRuns = keys.nRuns < KEY_RUN_CAP ? keys.nRuns : KEY_RUN_CAP;
    for (int i = 0; i < nRuns; ++i) {
        const KeyRun& run = keys.run[i];
        // Counts are bounded by KEY_PRESS_MAX when the session is parsed.
        for (long c = 0; c < run.count && c < KEY_PRESS_MAX; ++c) {
            onKey(run.key, 0, 0);
            ++r.presses;
        }
    }
    setFrameFunction(nullptr);
    r.frames = framesComputed;
    r.ended = sim.endMark == 'e';
    return r;
}

void printGrade(const ReplayOutcome& r)
{
    const SimState& g = sim;
    conPrintf("\n\n/*************** キー操作の採点 ************************************/");
    conPrintf("\nキー操作 %ld 回、描画 %ld 回(窓の最初の表示を含む)", r.presses, r.frames);
    int nchn = g.NCHN;
    if (nchn < 0) nchn = 0;
    if (nchn > REC_CAP - 1) nchn = REC_CAP - 1;
    if (r.ended) {
        const double tfKeys = g.chnRec[nchn][0];
        conPrintf("\nキー操作の位置決め時間 tf=%7.4f[s]  最適解 tf=%7.4f[s]", tfKeys, optimum.tf);
        if (optimum.ok && optimum.tf > 0.0)
            conPrintf("\n最適解との差 %+7.4f[s] (%+.2f%%)", shown(tfKeys - optimum.tf),
                      std::fabs(tfKeys / optimum.tf - 1.0) < 5e-5 ? 0.0 : (tfKeys / optimum.tf - 1.0) * 100.0);
        printSwitches(1, nchn - 1);  // the junction included, the end record not
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
}

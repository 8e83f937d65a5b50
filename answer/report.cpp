// The answer key's report of the optimal motion and normal CP motion; the quiet
// preparation of the path. Reads path, limits and `optimum`.
#include "answer/report.h"

#include <cmath>
#include <cstdio>

#include "core/console.h"
#include "core/messages.h"
#include "core/state.h"
#include "planner/normal_cp.h"
#include "planner/optimum.h"
#include "planner/prepare.h"

namespace {

char scratch[256];  // where withheld lines go when /dev/null cannot be opened

// A value as the four decimals show it: one that rounds to zero prints as 0.0000, not -0.0000.
double shown(double v) { return std::fabs(v) < 5e-5 ? 0.0 : v; }

const char* kindText(int kind)
{
    switch (kind) {
    case OPT_ACC_TO_BRAKE: return tr("加速→減速");
    case OPT_BRAKE_TO_ACC: return tr("減速→加速(速度制限に接する点)");
    case OPT_ALONG_LIMIT: return tr("速度制限曲線に沿う");
    default: return "";
    }
}

// Why the solver found no optimum, as one console line.
void printFailure(OptFailure why)
{
    switch (why) {
    case OPT_NO_PATH: conPrintf("\n理由: 経路の種類、寸法または加速度制限が正しくありません"); break;
    case OPT_BREAKS_FULL: conPrintf("\n理由: 経路の継ぎ目と慣性ゼロの点が%d点を超えます", OPT_BREAK_CAP); break;
    case OPT_GRID_FULL: conPrintf("\n理由: 計算格子の表が一杯です"); break;
    case OPT_NODES_FULL: conPrintf("\n理由: 速度曲線の点が%d点を超えます", OPT_PROFILE_CAP); break;
    case OPT_SWITCHES_FULL: conPrintf("\n理由: 切り替え点が%d点を超えます", OPT_SWITCH_CAP); break;
    case OPT_STEP_CAP: conPrintf("\n理由: 曲線の積分が1区間%d歩の上限に達しました", OPT_SUBSTEP_CAP); break;
    case OPT_NOT_A_NUMBER: conPrintf("\n理由: 計算の途中で数値でない値が出ました"); break;
    case OPT_NO_CONTINUATION: conPrintf("\n理由: 終点まで続く加速・減速曲線が見つかりません"); break;
    case OPT_OK: break;
    }
}

}  // namespace

void runQuietly(void (*fn)())
{
    FILE* sink = std::fopen("/dev/null", "w");
    if (sink == nullptr) sink = fmemopen(scratch, sizeof scratch, "w");
    FILE* const out = conOutStream();
    if (sink != nullptr) conSetStreams(sink, conInStream());
    fn();
    conSetStreams(out, conInStream());
    if (sink != nullptr) std::fclose(sink);
}

void prepareQuietly() { runQuietly(prepareSearch); }

double normalTimeForOptimum() { return normalCpTime(optimum.tf); }

void printOptimumReport(double tfNormal)
{
    conPrintf("\n\n/*************** 最短時間制御の最適解(自動計算) ********************/");
    if (!optimum.ok) {
        conPrintf("\n最適解が求まりませんでした");
        printFailure(optimum.failure);
        conPrintf("\n/**************** 最適解終わり *************************************/");
        conPrintf("\n");
        return;
    }
    conPrintf("\n最適解の位置決め時間 tf=%7.4f[s]", optimum.tf);
    const int n = optimum.nSwitch < OPT_SWITCH_CAP ? optimum.nSwitch : OPT_SWITCH_CAP;
    conPrintf("\n\n最適解の加減速の切り替え回数 N=%d   加速度ACC[]は直後の値", n);
    const OptimumPoint start = optimumAt(0.0);
    conPrintf("\nt0=%7.4f S[]=(%7.4f %7.4f) ACC[]=(%7.4f %7.4f)", 0.0, shown(start.s), shown(start.v), shown(start.ax),
              shown(start.ay));
    for (int k = 0; k < n; ++k) {
        const OptSwitch& w = optimum.sw[k];
        conPrintf("\nt%d=%7.4f S[]=(%7.4f %7.4f) ACC[]=(%7.4f %7.4f) %s", k + 1, w.t, shown(w.s), shown(w.v),
                  shown(w.ax), shown(w.ay), kindText(w.kind));
    }
    const OptimumPoint end = optimumAt(optimum.tf);
    conPrintf("\ntf=%7.4f S[]=(%7.4f %7.4f) ACC[]=(%7.4f %7.4f)", optimum.tf, shown(end.s), shown(end.v),
              shown(end.ax), shown(end.ay));
    conPrintf("\n\n通常のCP制御位置決め時間 tf=%7.4f[s]", tfNormal);
    if (optimum.tf > 0.0) conPrintf("\n通常のCP制御 / 最短時間制御 = %6.4f", tfNormal / optimum.tf);
    conPrintf("\n/**************** 最適解終わり *************************************/");
    conPrintf("\n");
}

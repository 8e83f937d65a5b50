// Timings of the planner's per-frame and per-dialogue work on the six default paths
// (one search frame, one preparation, the end of the search) and on the largest
// entries: the search frame whose look-ahead curves both run their 800 steps, the
// preparation of the largest path of each type, the end of the longest motion.
#include <benchmark/benchmark.h>

#include "app/keys.h"
#include "app/record.h"
#include "bench_support.h"
#include "core/state.h"
#include "path/velocity_limit.h"
#include "planner/boundary_curves.h"
#include "planner/normal_cp.h"
#include "planner/prepare.h"
#include "planner/search.h"

namespace {

// The planner part of one search frame: 20 sub-steps and both look-ahead curves,
// from a point a few steps into the search.
void SearchFrame(benchmark::State& st)
{
    const int type = static_cast<int>(st.range(0));
    prepareDefault(type);
    for (int i = 0; i < 10; ++i) computeFrame();
    for (auto _ : st) {
        sim.m = 10;
        sim.t = sim.TIME[10];
        runSearchStep();
        benchmark::DoNotOptimize(sim.aheadFlipN);
    }
}

// One dialogue preparation: boundary curves and velocity limit.
void Preparation(benchmark::State& st)
{
    const int type = static_cast<int>(st.range(0));
    prepareDefault(type);
    for (auto _ : st) {
        computeBoundaryCurves();
        makeVelocityLimit();
        benchmark::DoNotOptimize(sim.bwdN);
    }
}

// The end of the search: rebuild, normal CP and the report (to /dev/null), after
// a search that accelerates until it can be joined.
void EndOfSearch(benchmark::State& st)
{
    const int type = static_cast<int>(st.range(0));
    prepareDefault(type);
    if (!joinByAccelerating()) {
        st.SkipWithError("no junction on this path without switches");
        return;
    }
    for (int i = 0; i < 2000 && !sim.finishPending; ++i) runSearchStep();
    SimState saved = sim;
    for (auto _ : st) {
        st.PauseTiming();
        sim = saved;
        st.ResumeTiming();
        finishSearch();
        benchmark::DoNotOptimize(sim.mNormal);
    }
}

// The end of the search with cptoc --answer: the same, then the comparison with
// the optimum that the window adds to that frame (computeOptimum and its lines).
void EndOfSearchAnswer(benchmark::State& st)
{
    const int type = static_cast<int>(st.range(0));
    prepareDefault(type);
    setAnswerShown(true);
    if (!joinByAccelerating()) {
        st.SkipWithError("no junction on this path without switches");
        return;
    }
    for (int i = 0; i < 2000 && !sim.finishPending; ++i) runSearchStep();
    SimState saved = sim;
    for (auto _ : st) {
        st.PauseTiming();
        sim = saved;
        recordKey('k');  // a fresh search for the comparison (no dialogue: onKey is not called)
        st.ResumeTiming();
        finishSearch();
        recordFrameDone();
        benchmark::DoNotOptimize(sim.mNormal);
    }
    setAnswerShown(false);
}

// The largest entry of each path type within the accepted ranges: travel, rise,
// amplitude, straight and bend radius 20 m, the arc's radius 5 m and 3600 degrees,
// the slalom's radius 2 m and 20 semicircles, with both limits 0.5 m/s^2 (both
// boundary curves run their 3000 steps).
struct LargestEntry {
    int type;
    double a, b;
};
const LargestEntry LARGEST[7] = {{0, 0, 0},
                                 {CP_ARC, 5.0, 3600.0},
                                 {CP_SINE, 20.0, 20.0},
                                 {CP_U, 20.0, 20.0},
                                 {CP_SLALOM, 2.0, 20.0},
                                 {CP_CAM_ACC, 20.0, 20.0},
                                 {CP_CAM_CYCLOID, 20.0, 20.0}};
constexpr double LARGEST_LIMIT = 0.5;

// The search frame with the longest look-ahead curves. range(0) = 0: both at
// their 800 steps, on a nearly straight sine wave (L = 20 m, A = 0.1 m) with both
// limits 0.1 m/s^2 and 's' pressed 800 times (limits below the 0.5 m/s^2 the entry
// check accepts: an upper bound). 1: the longest found within the accepted
// entries, 800 + 221 steps on the cycloid cam of 20 m by 20 m with both limits
// 0.5 m/s^2 after 220 presses of 's'.
void SearchFrameFull(benchmark::State& st)
{
    const bool bound = st.range(0) == 0;
    if (bound)
        prepareEntered(CP_SINE, 20.0, 0.1, 0.1, 0.1);
    else
        prepareEntered(CP_CAM_CYCLOID, 20.0, 20.0, 0.5, 0.5);
    const int at = bound ? 800 : 220;
    setFrameFunction(nullptr);
    for (int i = 0; i < at; ++i) onKey('s', 0, 0);
    for (auto _ : st) {
        sim.m = at - 1;
        sim.t = sim.TIME[at - 1];
        runSearchStep();
        benchmark::DoNotOptimize(sim.aheadFlipN);
    }
    st.counters["same_steps"] = sim.aheadSameN;
    st.counters["flip_steps"] = sim.aheadFlipN;
}

// The whole preparation of a dialogue (conditions report to /dev/null, boundary
// curves, velocity limit, search reset) for the largest path of each type.
void PreparationLargest(benchmark::State& st)
{
    const LargestEntry& e = LARGEST[st.range(0)];
    prepareEntered(e.type, e.a, e.b, LARGEST_LIMIT, LARGEST_LIMIT);
    for (auto _ : st) {
        prepareSearch();
        benchmark::DoNotOptimize(sim.bwdN);
    }
    st.counters["fwdN"] = sim.fwdN;
    st.counters["bwdN"] = sim.bwdN;
    st.counters["vLimitLast"] = sim.vLimitLast;
}

// The longest motion the tables hold within the accepted entries: a cycloid cam
// of travel 20 m and rise 20 m with both limits 0.5 m/s^2, searched with the pan
// keys, joined, and its joined playback run up to the frame that ends the search.
// False (the benchmark marked as failed) when the join is not made.
bool playLongestToItsEnd(benchmark::State& st)
{
    prepareEntered(CP_CAM_CYCLOID, 20.0, 20.0, 0.5, 0.5);
    if (!joinLongSearch(1.25)) {
        st.SkipWithError("the long search was not joined");
        return false;
    }
    for (int i = 0; i < 2 * TRAJ_CAP && !sim.finishPending; ++i) runSearchStep();
    return true;
}

// The end of the search of the longest motion the tables hold within the accepted
// entries: a cycloid cam of travel 20 m and rise 20 m with both limits 0.5 m/s^2,
// searched with the pan keys (braking at ds/dt = 1.25 m/s, accelerating again at
// 1.0) and joined (mf = 1955); normal CP motion runs to the end of the tables.
void EndOfSearchLongest(benchmark::State& st)
{
    if (!playLongestToItsEnd(st)) return;
    static SimState saved;
    saved = sim;
    for (auto _ : st) {
        st.PauseTiming();
        sim = saved;
        st.ResumeTiming();
        finishSearch();
        benchmark::DoNotOptimize(sim.mNormal);
    }
    st.counters["mf"] = sim.mf;
    st.counters["mNormal"] = sim.mNormal;
}

// One computation of normal CP motion for the longest motion (after its end of
// the search): one sampling pass of its 1956 points with no reduction (the first
// acceleration passes), and the continuation to the end of the tables. Every
// reduction of the acceleration repeats at most one such pass.
void NormalCpLongest(benchmark::State& st)
{
    if (!playLongestToItsEnd(st)) return;
    finishSearch();
    static SimState saved;
    saved = sim;
    for (auto _ : st) {
        st.PauseTiming();
        sim = saved;
        st.ResumeTiming();
        computeNormalCP();
        benchmark::DoNotOptimize(sim.mNormal);
    }
    st.counters["mf"] = sim.mf;
    st.counters["mNormal"] = sim.mNormal;
}

}  // namespace

BENCHMARK(NormalCpLongest)->Unit(benchmark::kMillisecond);
BENCHMARK(SearchFrameFull)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);
BENCHMARK(PreparationLargest)->DenseRange(1, 6)->Unit(benchmark::kMillisecond);
BENCHMARK(EndOfSearchLongest)->Unit(benchmark::kMillisecond);
BENCHMARK(SearchFrame)->DenseRange(1, 6)->Unit(benchmark::kMicrosecond);
BENCHMARK(Preparation)->DenseRange(1, 6)->Unit(benchmark::kMillisecond);
BENCHMARK(EndOfSearch)->Arg(1)->Arg(5)->Arg(6)->Unit(benchmark::kMillisecond);
BENCHMARK(EndOfSearchAnswer)->Arg(1)->Arg(5)->Arg(6)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();

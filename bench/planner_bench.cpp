// Timings of the planner's per-frame and per-dialogue work on the six default paths:
// one search frame, one preparation, and the end of the search.
#include <benchmark/benchmark.h>

#include "app/state.h"
#include "bench_support.h"
#include "path/velocity_limit.h"
#include "planner/boundary_curves.h"
#include "planner/keys.h"
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

}  // namespace

BENCHMARK(SearchFrame)->DenseRange(1, 6)->Unit(benchmark::kMicrosecond);
BENCHMARK(Preparation)->DenseRange(1, 6)->Unit(benchmark::kMillisecond);
BENCHMARK(EndOfSearch)->Arg(1)->Arg(5)->Arg(6)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();

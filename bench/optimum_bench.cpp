// Timings of the minimum-time solver: every path of the accuracy table (the six
// defaults, then other dimensions and limits) and the largest accepted entry of
// each path type and the slowest entries known, one whole computeOptimum per iteration.
#include <benchmark/benchmark.h>

#include "bench_support.h"
#include "core/state.h"
#include "planner/optimum.h"

namespace {

struct Entry {
    int type;
    double a, b;          // the dialogue's two dimensions (arc: radius, degrees; slalom: radius, count)
    double xamax, yamax;  // 0: the defaults
};

// The accuracy table's paths: the six defaults, then the same list of other cases.
const Entry TABLE[] = {
    {CP_ARC, 0, 0, 0, 0},           {CP_SINE, 0, 0, 0, 0},          {CP_U, 0, 0, 0, 0},
    {CP_SLALOM, 0, 0, 0, 0},        {CP_CAM_ACC, 0, 0, 0, 0},       {CP_CAM_CYCLOID, 0, 0, 0, 0},
    {CP_ARC, 1.0, 90.0, 1.0, 1.0},  {CP_ARC, 0.5, 180.0, 2.0, 2.0}, {CP_ARC, 0.5, 90.0, 1.0, 3.0},
    {CP_ARC, 0.5, 120.0, 3.0, 1.0}, {CP_SINE, 1.0, 0.2, 2.0, 2.0},  {CP_SINE, 2.0, 0.5, 1.0, 3.0},
    {CP_U, 0.1, 0.4, 2.0, 2.0},     {CP_U, 0.4, 0.2, 4.0, 1.0},     {CP_U, 0.4, 0.4, 1.0, 4.0},
    {CP_SLALOM, 0.3, 2.0, 1.0, 2.0}, {CP_SLALOM, 0.1, 5.0, 2.0, 2.0}, {CP_CAM_ACC, 1.0, 0.3, 3.0, 1.0},
    {CP_CAM_CYCLOID, 1.0, 1.0, 1.0, 1.0}, {CP_CAM_CYCLOID, 0.5, 0.2, 2.0, 4.0},
};
constexpr int TABLE_N = sizeof(TABLE) / sizeof(TABLE[0]);

// The largest entry of each type (index = type) within the accepted ranges,
// with the smallest limit on X and three times it on Y, so that the velocity
// limit dips at every quarter turn and every semicircle.
const Entry LARGEST[7] = {{0, 0, 0, 0, 0},
                          {CP_ARC, 5.0, 3600.0, 0.5, 1.5},
                          {CP_SINE, 20.0, 20.0, 0.5, 1.5},
                          {CP_U, 20.0, 20.0, 0.5, 1.5},
                          {CP_SLALOM, 2.0, 20.0, 0.5, 1.5},
                          {CP_CAM_ACC, 20.0, 20.0, 0.5, 1.5},
                          {CP_CAM_CYCLOID, 20.0, 20.0, 0.5, 1.5}};

// The slowest accepted entries known: the largest slalom and the ten-turn arc
// with both limits at their smallest, and the arc with very unequal limits.
const Entry SLOWEST[] = {{CP_SLALOM, 2.0, 20.0, 0.5, 0.5}, {CP_ARC, 5.0, 3600.0, 0.5, 0.5}, {CP_ARC, 5.0, 3600.0, 0.5, 100.0}};
constexpr int SLOWEST_N = sizeof(SLOWEST) / sizeof(SLOWEST[0]);

// The path and limits of an entry in `sim`, as the dialogue would leave them.
void prepare(const Entry& e)
{
    prepareDefault(e.type);
    SimState& g = sim;
    if (e.a > 0.0) {
        switch (e.type) {
        case CP_ARC: g.arcR = e.a; g.sEnd[CP_ARC] = e.b * DEG2RAD; break;
        case CP_SINE: g.sinL = e.a; g.sinA = e.b; break;
        case CP_U: g.uL = e.a; g.uR = e.b; break;
        case CP_SLALOM: g.slmR = e.a; g.slmN = static_cast<int>(e.b); break;
        case CP_CAM_ACC: g.camL = e.a; g.camH = e.b; break;
        case CP_CAM_CYCLOID: g.cycL = e.a; g.cycH = e.b; break;
        default: break;
        }
        updateTypeTables(e.type);
    }
    if (e.xamax > 0.0) g.xamax = e.xamax;
    if (e.yamax > 0.0) g.yamax = e.yamax;
}

void run(benchmark::State& st, const Entry& e)
{
    prepare(e);
    for (auto _ : st) {
        computeOptimum();
        const double tf = optimum.tf;
        benchmark::DoNotOptimize(tf);
    }
    if (!optimum.ok) st.SkipWithError("no optimum");
    st.counters["tf"] = optimum.tf;
    st.counters["switches"] = optimum.nSwitch;
    st.counters["samples"] = optimum.nProfile + 1;
}

void OptimumTable(benchmark::State& st) { run(st, TABLE[st.range(0)]); }
void OptimumLargest(benchmark::State& st) { run(st, LARGEST[st.range(0)]); }
void OptimumSlowest(benchmark::State& st) { run(st, SLOWEST[st.range(0)]); }

}  // namespace

BENCHMARK(OptimumTable)->DenseRange(0, TABLE_N - 1)->Unit(benchmark::kMillisecond);
BENCHMARK(OptimumLargest)->DenseRange(1, 6)->Unit(benchmark::kMillisecond);
BENCHMARK(OptimumSlowest)->DenseRange(0, SLOWEST_N - 1)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();

// Shared set-up of the benchmarks.
#include "bench_support.h"

#include <cstdio>

#include "app/console.h"
#include "app/dialogue.h"
#include "app/state.h"
#include "planner/keys.h"

void prepareDefault(int type)
{
    static FILE* devNull = std::fopen("/dev/null", "w");
    conSetStreams(devNull, nullptr);
    sim = SimState{};
    initDefaults();
    sim.cpType = type;
    sim.xf = sim.cpEnd[type][0];
    sim.yf = sim.cpEnd[type][1];
    prepareSearch();
}

bool joinByAccelerating()
{
    setFrameFunction(nullptr);
    for (int i = 0; i < 800 && sim.joinMark != 'f'; ++i) onKey('f', 0, 0);
    return sim.joinMark == 'f';
}

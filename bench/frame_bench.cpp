// Timings of whole drawn frames in the real window on a virtual display: a search
// frame, and playback frames up to the heaviest one (k = mf) of the longest default motion.
#include <benchmark/benchmark.h>

#include <GL/freeglut.h>

#include <cstdio>

#include "app/console.h"
#include "app/dialogue.h"
#include "app/state.h"
#include "app/window.h"
#include "planner/keys.h"
#include "planner/search.h"

namespace {

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

// Accelerates until the join succeeds, then plays to the end of the search.
bool completeSearch()
{
    setFrameFunction(nullptr);
    for (int i = 0; i < 800 && sim.joinMark != 'f'; ++i) onKey('f', 0, 0);
    for (int i = 0; i < 2100 && sim.endMark != 'e'; ++i) onKey('s', 0, 0);
    return sim.endMark == 'e';
}

void openWindow()
{
    static bool open = false;
    if (open) return;
    open = true;
    int argc = 1;
    char name[] = "bench_frame";
    char* argv[] = {name, nullptr};
    glutInitWindowSize(800, 800);
    glutInit(&argc, argv);
    glutInitDisplayMode(GLUT_DOUBLE | GLUT_DEPTH | GLUT_RGB);
    glutCreateWindow("bench");
    glClearColor(1, 1, 1, 1);
    reshapeWindow(800, 800);
}

void SearchFrameDrawn(benchmark::State& st)
{
    openWindow();
    prepareDefault(static_cast<int>(st.range(0)));
    for (int i = 0; i < 10; ++i) computeFrame();
    for (auto _ : st) {
        sim.m = 10;
        sim.t = sim.TIME[10];
        displayFrame();
        glFinish();
    }
}

// Playback frame at index k (as a fraction of mf, in percent) of the cycloid cam,
// the longest of the default motions that a plain acceleration then join completes.
void PlaybackFrameDrawn(benchmark::State& st)
{
    openWindow();
    prepareDefault(CP_CAM_CYCLOID);
    if (!completeSearch()) {
        st.SkipWithError("search did not complete");
        return;
    }
    const int k = static_cast<int>(sim.mf * st.range(0) / 100);
    st.counters["k"] = k;
    for (auto _ : st) {
        sim.m = k - 1;
        displayFrame();
        glFinish();
    }
}

}  // namespace

BENCHMARK(SearchFrameDrawn)->DenseRange(1, 6)->Unit(benchmark::kMillisecond);
BENCHMARK(PlaybackFrameDrawn)->Arg(10)->Arg(25)->Arg(50)->Arg(75)->Arg(100)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();

// Timings of whole drawn frames in the real window on a virtual display: a search
// frame, playback frames up to the heaviest one (k = mf) of the longest default motion,
// and whole key-by-key sequences of frames as the program draws them one after another.
#include <benchmark/benchmark.h>

#include <GL/freeglut.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>

#include "app/keys.h"
#include "app/window.h"
#include "bench_support.h"
#include "core/state.h"
#include "planner/search.h"

namespace {

// Accelerates until the join succeeds, then plays to the end of the search.
bool completeSearch()
{
    if (!joinByAccelerating()) return false;
    for (int i = 0; i < 2100 && sim.endMark != 'e'; ++i) onKey('s', 0, 0);
    return sim.endMark == 'e';
}

bool memoryKept = false;

// Opens the window once per process. keepMemory = false leaves the allocator
// as the system sets it, to show what the program's own setting saves; it is
// only possible in a process that has not opened the window the usual way.
bool openWindow(bool keepMemory = true)
{
    static bool open = false;
    if (open) return memoryKept == keepMemory;
    open = true;
    if (keepMemory) keepRendererMemory();
    memoryKept = keepMemory;
    int argc = 1;
    char name[] = "bench_frame";
    char* argv[] = {name, nullptr};
    glutInitWindowSize(800, 800);
    glutInit(&argc, argv);
    glutInitDisplayMode(GLUT_DOUBLE | GLUT_DEPTH | GLUT_RGB);
    glutCreateWindow("bench");
    glClearColor(1, 1, 1, 1);
    reshapeWindow(800, 800);
    // The program draws its first frame when the window appears, before any key;
    // that frame compiles the renderer's shaders. The same here, outside the timings.
    prepareDefault(CP_ARC);
    displayFrame();
    glFinish();
    return true;
}

double msSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

// CPU time used so far by the whole process, all threads [ms].
double processCpuMs()
{
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return ts.tv_sec * 1e3 + ts.tv_nsec * 1e-6;
}

// One key press as the program handles it (the frame drawn and presented), until it is on screen.
double timedKey(unsigned char key)
{
    const auto start = std::chrono::steady_clock::now();
    onKey(key, 0, 0);
    glFinish();
    return msSince(start);
}

// Per-press times of one sequence: mean, median, worst, and the mean of each
// quarter of the sequence (how a frame grows with the length of what it draws).
struct PressTimes {
    static constexpr int CAP = 2048;
    double ms[CAP] = {};
    int n = 0;
    void add(double t)
    {
        if (n < CAP) ms[n++] = t;
    }
    void report(benchmark::State& st) const
    {
        double sorted[CAP];
        double sum = 0.0, worst = 0.0;
        int worstAt = 0;
        for (int i = 0; i < n; ++i) {
            sorted[i] = ms[i];
            sum += ms[i];
            if (ms[i] > worst) {
                worst = ms[i];
                worstAt = i + 1;
            }
        }
        std::sort(sorted, sorted + n);
        st.counters["frames"] = n;
        st.counters["mean_ms"] = n > 0 ? sum / n : 0.0;
        st.counters["median_ms"] = n > 0 ? sorted[n / 2] : 0.0;
        st.counters["worst_ms"] = worst;
        st.counters["worst_press"] = worstAt;
        int over = 0;  // presses beyond the 25 ms budget
        for (int i = 0; i < n; ++i)
            if (ms[i] > 25.0) ++over;
        st.counters["over_25ms"] = over;
        const char* names[4] = {"q1_ms", "q2_ms", "q3_ms", "q4_ms"};
        for (int q = 0; q < 4; ++q) {
            const int from = n * q / 4, to = n * (q + 1) / 4;
            double part = 0.0;
            for (int i = from; i < to; ++i) part += ms[i];
            st.counters[names[q]] = to > from ? part / (to - from) : 0.0;
        }
    }
};

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

// The longest motion the tables hold within the accepted entries: a cycloid cam
// of travel 20 m and rise 20 m with both limits 0.5 m/s^2, searched with the pan
// keys, slower than it could be (braking at ds/dt = 1.25 m/s, accelerating again
// at 1.0), joined and played to its end: mf = 1955, and normal CP motion
// (tfNormal = 160.5 s) cut at the end of the tables, mNormal = 2000.
bool completeLongestMotion()
{
    prepareEntered(CP_CAM_CYCLOID, 20.0, 20.0, 0.5, 0.5);
    if (!joinLongSearch(1.25)) return false;
    for (int i = 0; i < 2 * TRAJ_CAP && sim.endMark != 'e'; ++i) onKey('s', 0, 0);
    return sim.endMark == 'e';
}

// The heaviest playback frame: k = mf and m = mNormal of the longest motion, with
// k + 1 red and m + 1 white trace discs, in three views: as the dialogue leaves
// it (zoom 1, the start of the cam in the window), 27 presses of 'w' (zoom 0.058,
// the whole cam) and 5 of 'W' (zoom 1.69, the start enlarged). range(0) > 0
// presses 'w' that often, < 0 'W'.
void PlaybackFrameFull(benchmark::State& st)
{
    openWindow();
    if (!completeLongestMotion()) {
        st.SkipWithError("the longest motion did not complete");
        return;
    }
    const int presses = static_cast<int>(st.range(0));
    for (int i = 0; i < presses; ++i) onKey('w', 0, 0);
    for (int i = 0; i < -presses; ++i) onKey('W', 0, 0);
    for (auto _ : st) {
        sim.m = sim.mNormal;
        displayFrame();
        glFinish();
    }
    st.counters["k"] = sim.playK;
    st.counters["m"] = sim.m;
    st.counters["zoom"] = sim.zoom;
}

// The whole playback of the longest motion key by key ('0', then 's' until normal
// CP motion has stopped at the end of the tables), in the view the dialogue leaves.
void PlaybackSequenceFull(benchmark::State& st)
{
    openWindow();
    if (!completeLongestMotion()) {
        st.SkipWithError("the longest motion did not complete");
        return;
    }
    setFrameFunction(displayFrame);
    for (auto _ : st) {
        onKey('0', 0, 0);
        glFinish();
        PressTimes times;
        double cpuWorst = 0.0, cpuSum = 0.0;
        for (int i = 0; i < sim.mNormal; ++i) {
            const double cpu0 = processCpuMs();
            times.add(timedKey('s'));
            const double cpu = processCpuMs() - cpu0;
            cpuSum += cpu;
            if (cpu > cpuWorst) cpuWorst = cpu;
        }
        times.report(st);
        st.counters["mf"] = sim.mf;
        // CPU time of the whole process per press (the renderer's threads included).
        st.counters["cpu_mean_ms"] = times.n > 0 ? cpuSum / times.n : 0.0;
        st.counters["cpu_worst_ms"] = cpuWorst;
    }
    setFrameFunction(nullptr);
}

// The drawn search frame with both look-ahead curves at their 800 steps (sine wave
// L = 20 m, A = 0.1 m, both limits 0.1 m/s^2, 's' pressed 800 times).
void SearchFrameFullDrawn(benchmark::State& st)
{
    openWindow();
    prepareEntered(CP_SINE, 20.0, 0.1, 0.1, 0.1);
    setFrameFunction(nullptr);
    for (int i = 0; i < 800; ++i) onKey('s', 0, 0);
    for (auto _ : st) {
        sim.m = 799;
        sim.t = sim.TIME[799];
        displayFrame();
        glFinish();
    }
    st.counters["same_steps"] = sim.aheadSameN;
    st.counters["flip_steps"] = sim.aheadFlipN;
}

// The search of one default path as a student makes it with 's' held down:
// from the start, one frame per press, until the trajectory stops (or 400 presses).
void SearchSequenceDrawn(benchmark::State& st)
{
    openWindow();
    const int type = static_cast<int>(st.range(0));
    for (auto _ : st) {
        prepareDefault(type);
        setFrameFunction(displayFrame);
        PressTimes times;
        for (int i = 0; i < 400 && sim.endMark != 'e'; ++i) {
            times.add(timedKey('s'));
            if (!sim.aheadMade) break;  // standstill or reversal: the search cannot go on
        }
        setFrameFunction(nullptr);
        times.report(st);
    }
}

// The whole playback of the cycloid cam ('0', then 's' held down until normal CP
// motion has arrived), frame after frame in one process as in the program.
// range(0) = 1: the program's allocator setting; 0: as the system leaves it.
void PlaybackSequenceDrawn(benchmark::State& st)
{
    if (!openWindow(st.range(0) == 1)) {
        st.SkipWithError("the allocator setting of this process differs; run this case in a process of its own");
        return;
    }
    prepareDefault(CP_CAM_CYCLOID);
    if (!completeSearch()) {
        st.SkipWithError("search did not complete");
        return;
    }
    setFrameFunction(displayFrame);
    for (auto _ : st) {
        onKey('0', 0, 0);
        glFinish();
        PressTimes times;
        double atMf = 0.0;
        for (int i = 0; i < sim.mNormal; ++i) {
            times.add(timedKey('s'));
            if (sim.playK == sim.mf && atMf == 0.0) atMf = times.ms[times.n - 1];
        }
        times.report(st);
        st.counters["mf"] = sim.mf;
        st.counters["at_mf_ms"] = atMf;
    }
    setFrameFunction(nullptr);
}

}  // namespace

BENCHMARK(SearchSequenceDrawn)->DenseRange(1, 6)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(PlaybackSequenceDrawn)->Arg(1)->Arg(0)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(SearchFrameDrawn)->DenseRange(1, 6)->Unit(benchmark::kMillisecond);
// The CPU column of these is the whole process's (the renderer's threads included):
// less disturbed by other load on the machine than the wall-clock time.
BENCHMARK(PlaybackFrameFull)->Arg(0)->Arg(27)->Arg(-5)->MeasureProcessCPUTime()->Unit(benchmark::kMillisecond);
BENCHMARK(PlaybackSequenceFull)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(SearchFrameFullDrawn)->MeasureProcessCPUTime()->Unit(benchmark::kMillisecond);
BENCHMARK(PlaybackFrameDrawn)->Arg(10)->Arg(25)->Arg(50)->Arg(75)->Arg(100)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();

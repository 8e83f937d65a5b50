// The browser edition's playback frames, timed in the page: the longest motion the tables
// hold (the window benchmark's PlaybackSequenceFull) played key by key from '0' to the end
// of normal CP motion, each press one frame drawn into the picture and put on the canvas.
// The figures are left in `cptocBench` of the page for bench/web_bench.py. Built for
// node with a page that draws nothing (web/bench_node.js), the same frames report the
// process's CPU time per press as well, which other load on the machine disturbs less.
#include <emscripten.h>

#include "app/keys.h"
#include "bench_support.h"
#include "core/state.h"
#include "render/frame.h"

namespace {

constexpr int PRESS_CAP = 2 * TRAJ_CAP;
double pressMs[PRESS_CAP];
double pressCpuMs[PRESS_CAP];

void displayFrame() { drawFramePass(); }

EM_JS(void, reportFailure, (), { globalThis.cptocBench = {error: "the longest motion did not complete"}; });

// CPU time of the process [ms] under node; -1 in a browser, which does not tell it.
EM_JS(double, cpuMs, (), {
    if (typeof process === "undefined" || !process.cpuUsage) return -1;
    const u = process.cpuUsage();
    return (u.user + u.system) / 1000;
});

// Median, mean and worst of the presses, the press that plays point mf, and the
// median and worst CPU time per press where it is known.
EM_JS(void, reportTimes, (const double* ms, const double* cpu, int n, int mf), {
    function figures(p) {
        const times = Array.from(HEAPF64.subarray(p >> 3, (p >> 3) + n));
        const sorted = times.slice().sort(function(a, b) { return a - b; });
        return {median: sorted[Math.floor(n / 2)], worst: sorted[n - 1],
                mean: times.reduce(function(a, b) { return a + b; }, 0) / n, atMf: times[mf]};
    }
    const wall = figures(ms), c = figures(cpu);
    globalThis.cptocBench = {
        frames: n, mf: mf, median_ms: wall.median, mean_ms: wall.mean, worst_ms: wall.worst, at_mf_ms: wall.atMf,
        cpu_median_ms: c.median, cpu_worst_ms: c.worst
    };
});

// The longest motion within the accepted entries: a cycloid cam of travel 20 m and
// rise 20 m with both limits 0.5 m/s^2, searched slower than it could be, joined
// and played to its end (mf = 1955, mNormal = 2000).
bool completeLongestMotion()
{
    prepareEntered(CP_CAM_CYCLOID, 20.0, 20.0, 0.5, 0.5);
    if (!joinLongSearch(1.25)) return false;
    for (int i = 0; i < 2 * TRAJ_CAP && sim.endMark != 'e'; ++i) onKey('s', 0, 0);
    return sim.endMark == 'e';
}

}  // namespace

int main()
{
    if (!completeLongestMotion()) {
        reportFailure();
        return 0;
    }
    setFrameFunction(displayFrame);
    onKey('0', 0, 0);
    int n = 0;
    for (int i = 0; i < sim.mNormal && n < PRESS_CAP; ++i) {
        const double c0 = cpuMs();
        const double t0 = emscripten_get_now();
        onKey('s', 0, 0);
        pressMs[n] = emscripten_get_now() - t0;
        pressCpuMs[n++] = cpuMs() - c0;
    }
    reportTimes(pressMs, pressCpuMs, n, sim.mf);
    return 0;
}

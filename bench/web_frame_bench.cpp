// The browser edition's playback frames, timed in the page: the longest motion the tables
// hold (the window benchmark's PlaybackSequenceFull) played key by key from '0' to the end
// of normal CP motion, each press one frame drawn into the picture and put on the canvas.
// The figures are left in `cptocBench` of the page for bench/web_bench.py.
#include <emscripten.h>

#include "app/keys.h"
#include "bench_support.h"
#include "core/state.h"
#include "render/frame.h"

namespace {

constexpr int PRESS_CAP = 2 * TRAJ_CAP;
double pressMs[PRESS_CAP];

void displayFrame() { drawFramePass(); }

EM_JS(void, reportFailure, (), { window.cptocBench = {error: "the longest motion did not complete"}; });

// Median, mean and worst of the presses, and the press that plays point mf.
EM_JS(void, reportTimes, (const double* ms, int n, int mf), {
    const times = Array.from(HEAPF64.subarray(ms >> 3, (ms >> 3) + n));
    const sorted = times.slice().sort(function(a, b) { return a - b; });
    window.cptocBench = {
        frames: n, mf: mf, median_ms: sorted[Math.floor(n / 2)],
        mean_ms: times.reduce(function(a, b) { return a + b; }, 0) / n,
        worst_ms: sorted[n - 1], at_mf_ms: times[mf]
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
        const double t0 = emscripten_get_now();
        onKey('s', 0, 0);
        pressMs[n++] = emscripten_get_now() - t0;
    }
    reportTimes(pressMs, n, sim.mf);
    return 0;
}

#!/bin/sh
# Runs the benchmarks of a Release build folder: the planner headless, then the
# drawn frames on a virtual display with Mesa's software renderer, each frame
# benchmark in a process (and on an X server) of its own so that the renderer's
# caches carry nothing from one measurement to the next. Medians of 5 runs.
# The sequences play whole searches and playbacks key by key, as the program
# draws them one frame after another. A whole playback is the first one of its
# process (the allocator adapts itself later in a process, which would hide
# the cost of the first playback), so it runs in 5 processes and the median of
# each figure is printed. PlaybackSequenceDrawn/0 leaves the allocator as the
# system sets it, to compare with the program's own setting (/1).
# PlaybackSequenceFull plays the longest motion the tables hold (2000 presses).
set -eu
b=${1:-build-bench}
here=$(dirname "$0")

frames() {
  LIBGL_ALWAYS_SOFTWARE=1 sh "$here/../tests/with_xvfb.sh" "$b/bench/bench_frame" "$@" 2>&1
}

"$b/bench/bench_planner" --benchmark_repetitions=5 --benchmark_report_aggregates_only=true
"$b/bench/bench_optimum" --benchmark_repetitions=5 --benchmark_report_aggregates_only=true
if [ -x "$b/bench/bench_frame" ]; then
  for f in 'SearchFrameDrawn/[1-6]$' 'PlaybackFrameDrawn/10$' 'PlaybackFrameDrawn/25$' 'PlaybackFrameDrawn/50$' \
           'PlaybackFrameDrawn/75$' 'PlaybackFrameDrawn/100$' 'SearchSequenceDrawn/[1-6]/' \
           'SearchFrameFullDrawn' 'PlaybackFrameFull/0/' 'PlaybackFrameFull/27/' 'PlaybackFrameFull/-5/'; do
    frames --benchmark_filter="$f" --benchmark_repetitions=5 --benchmark_report_aggregates_only=true |
      grep -E '_median |rror' || true
  done
  for f in 'PlaybackSequenceDrawn/1/' 'PlaybackSequenceDrawn/0/' 'PlaybackSequenceFull/'; do
    for run in 1 2 3 4 5; do
      frames --benchmark_filter="$f" | grep -E '^PlaybackSequence|rror' || true
    done | awk -v name="$f" '
      /rror/ { print; next }
      { for (i = 1; i <= NF; ++i) if (split($i, kv, "=") == 2) {  # counters print 1955 as 1.955k
          x = kv[2] + 0
          if (kv[2] ~ /k$/) x *= 1000
          n[kv[1]]++; v[kv[1], n[kv[1]]] = x
        } }
      END {
        line = name "median_of_5_processes"
        split("frames mf mean_ms median_ms worst_ms over_25ms q1_ms q2_ms q3_ms q4_ms at_mf_ms cpu_mean_ms cpu_worst_ms", keys, " ")
        for (k = 1; k in keys; ++k) {
          key = keys[k]
          if (!(key in n)) continue
          c = n[key]
          for (i = 2; i <= c; ++i) {  # insertion sort of the values of one figure
            x = v[key, i]
            for (j = i - 1; j >= 1 && v[key, j] > x; --j) v[key, j + 1] = v[key, j]
            v[key, j + 1] = x
          }
          line = line sprintf(" %s=%.4g", key, v[key, int((c + 1) / 2)])
        }
        print line
      }'
  done
fi

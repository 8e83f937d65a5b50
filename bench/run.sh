#!/bin/sh
# Runs the benchmarks of a Release build folder: the planner headless, then the
# drawn frames on a virtual display with Mesa's software renderer, each frame
# benchmark in a process (and on an X server) of its own so that the renderer's
# caches carry nothing from one measurement to the next. Medians of 5 runs.
set -eu
b=${1:-build-bench}
here=$(dirname "$0")
"$b/bench/bench_planner" --benchmark_repetitions=5 --benchmark_report_aggregates_only=true
if [ -x "$b/bench/bench_frame" ]; then
  for f in 'SearchFrameDrawn/[1-6]$' 'PlaybackFrameDrawn/10$' 'PlaybackFrameDrawn/25$' 'PlaybackFrameDrawn/50$' \
           'PlaybackFrameDrawn/75$' 'PlaybackFrameDrawn/100$'; do
    LIBGL_ALWAYS_SOFTWARE=1 sh "$here/../tests/with_xvfb.sh" "$b/bench/bench_frame" --benchmark_filter="$f" \
      --benchmark_repetitions=5 --benchmark_report_aggregates_only=true 2>&1 | grep -E 'median|rror' || true
  done
fi

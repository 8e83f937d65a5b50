#!/bin/sh
# Runs the benchmarks of a Release build folder: the planner headless, the drawn
# frames on a virtual display with Mesa's software renderer. Medians of 5 runs.
set -eu
b=${1:-build-bench}
"$b/bench/bench_planner" --benchmark_repetitions=5 --benchmark_report_aggregates_only=true
if [ -x "$b/bench/bench_frame" ]; then
  LIBGL_ALWAYS_SOFTWARE=1 sh "$(dirname "$0")/../tests/with_xvfb.sh" "$b/bench/bench_frame" \
    --benchmark_repetitions=5 --benchmark_report_aggregates_only=true
fi

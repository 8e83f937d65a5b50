#!/bin/sh
# Runs one command on a virtual X server of its own, started with -displayfd and
# stopped afterwards, so no test relies on a display of the machine.
set -eu
fifo_dir=$(mktemp -d)
Xvfb -displayfd 3 -screen 0 1024x1024x24 -nolisten tcp 3>"$fifo_dir/display" 2>"$fifo_dir/log" &
xvfb_pid=$!
trap 'kill "$xvfb_pid" 2>/dev/null; wait "$xvfb_pid" 2>/dev/null; rm -rf "$fifo_dir"' EXIT INT TERM
i=0
while [ ! -s "$fifo_dir/display" ] && [ $i -lt 100 ]; do sleep 0.1; i=$((i + 1)); done
if [ ! -s "$fifo_dir/display" ]; then
  echo "with_xvfb: Xvfb did not start" >&2
  cat "$fifo_dir/log" >&2
  exit 1
fi
DISPLAY=":$(head -n 1 "$fifo_dir/display")"
export DISPLAY
"$@"

#!/bin/sh
# The accuracy table of the core built for WebAssembly and run under node equals the
# table of the native build byte for byte (the same tables, times and switching points).
# Usage: same_accuracy.sh <native accuracy_report> <accuracy_report.js>
set -eu
native=$(mktemp) web=$(mktemp)
trap 'rm -f "$native" "$web"' EXIT
"$1" > "$native"
# node 20 refuses the emitted script's fetch of its module without this flag.
NODE_PATH=/usr/share/nodejs node --no-experimental-fetch "$2" > "$web"
if cmp -s "$native" "$web"; then
  echo "same accuracy table: $(wc -l < "$native") lines"
else
  diff "$native" "$web" | head -20
  exit 1
fi

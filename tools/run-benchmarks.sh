#!/usr/bin/env bash
# Runs every benchmark: natively, then the Windows builds under Wine. They print figures.
set -uo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(dirname "$here")
shopt -s nullglob
for b in "$root"/build/native/tests/*_bench; do
  echo "== bench (native): $(basename "$b")"
  "$b" || echo "bench $(basename "$b") failed"
done
for b in "$root"/build/win64/tests/*_bench.exe; do
  echo "== bench (wine, 64-bit): $(basename "$b")"
  # A display for the benchmarks that open windows.
  "$here/with-xvfb.sh" "$here/wine-run.sh" "$b" || echo "bench $(basename "$b") failed"
done

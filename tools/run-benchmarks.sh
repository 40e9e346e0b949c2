#!/usr/bin/env bash
# Runs every benchmark: natively, then the Windows builds under Wine. They print figures, and
# lines starting "summary|" that end the run as one table of ratios against their references.
# BENCH_FILTER=<pattern> runs only the benchmarks whose name matches it.
set -uo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(dirname "$here")
filter=${BENCH_FILTER:-}
shopt -s nullglob
out=$(mktemp)
trap 'rm -f "$out"' EXIT
for b in "$root"/build/native/tests/*_bench; do
  [[ -n $filter && $(basename "$b") != *$filter* ]] && continue
  echo "== bench (native): $(basename "$b")"
  "$b" | tee -a "$out" || echo "bench $(basename "$b") failed"
done
for b in "$root"/build/win64/tests/*_bench.exe; do
  [[ -n $filter && $(basename "$b") != *$filter* ]] && continue
  echo "== bench (wine, 64-bit): $(basename "$b")"
  # A display for the benchmarks that open windows.
  "$here/with-xvfb.sh" "$here/wine-run.sh" "$b" | tr -d '\r' | tee -a "$out" || echo "bench $(basename "$b") failed"
done
# Scripts that time the programs themselves as a user runs them, in a 64-bit tree.
for b in "$root"/tests/bench/*_bench.sh; do
  [[ -n $filter && $(basename "$b") != *$filter* ]] && continue
  echo "== bench (wine, 64-bit): $(basename "$b")"
  "$b" "$root/build/win64" | tee -a "$out" || echo "bench $(basename "$b") failed"
done
echo
echo "== summary (ratio: the work over its reference, measured in the same run)"
{
  echo "target|where|work|ratio|reference|limit|"
  grep -a '^summary|' "$out" | cut -d'|' -f2- | sort -s -t'|' -k1,1
} | column -t -s'|'

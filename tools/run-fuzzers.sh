#!/usr/bin/env bash
# Runs every fuzzer of a fuzz build tree for the given number of seconds each, from its seed
# corpus in tests/fuzz/corpus/<name>/ (new inputs go to a scratch copy, not the repo).
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(dirname "$here")
tree=$1; seconds=${2:-20}
status=0
shopt -s nullglob
for fuzzer in "$root/$tree"/tests/*_fuzzer "$tree"/tests/*_fuzzer; do
  [ -x "$fuzzer" ] || continue
  name=$(basename "$fuzzer" _fuzzer)
  work="$root/build/fuzz-corpus/$name"
  mkdir -p "$work"
  seeds="$root/tests/fuzz/corpus/$name"
  echo "== fuzz: $name (${seconds}s)"
  if ! "$fuzzer" -max_total_time="$seconds" -rss_limit_mb=2048 -malloc_limit_mb=512 -timeout=10 \
       -print_final_stats=0 "$work" ${seeds:+$( [ -d "$seeds" ] && echo "$seeds")} >"$work.log" 2>&1; then
    tail -40 "$work.log"
    echo "fuzz: $name found a fault (log: $work.log)"
    status=1
  fi
done
exit $status

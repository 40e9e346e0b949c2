#!/usr/bin/env bash
# Runs every fuzzer of a fuzz build tree for the given number of seconds each, starting from
# its seed corpus tests/fuzz/corpus/<name>/ (new inputs go to a scratch folder of the build
# tree, never into the repository).
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
tree=$1; seconds=${2:-15}
case $tree in /*) ;; *) tree=$root/$tree ;; esac
status=0; count=0
# The fuzzers' scratch files go to a folder of this run (memory-backed where possible).
scratch=$(mktemp -d -p /dev/shm tarnwick-fuzz.XXXXXX 2>/dev/null || mktemp -d)
trap 'rm -rf "$scratch"' EXIT
shopt -s nullglob
for fuzzer in "$tree"/tests/*_fuzzer; do
  [ -x "$fuzzer" ] || continue
  name=$(basename "$fuzzer" _fuzzer)
  work="$tree/fuzz-work/$name"
  mkdir -p "$work"
  dirs=("$work")
  [ -d "$root/tests/fuzz/corpus/$name" ] && dirs+=("$root/tests/fuzz/corpus/$name")
  echo "== fuzz: $name (${seconds}s)"
  count=$((count + 1))
  if ! TMPDIR=$scratch "$fuzzer" -max_total_time="$seconds" -rss_limit_mb=2048 -malloc_limit_mb=512 -timeout=10 \
       "${dirs[@]}" >"$work.log" 2>&1; then
    tail -40 "$work.log"
    echo "fuzz: $name found a fault (log: $work.log)"
    status=1
  fi
done
echo "fuzz: $count fuzzers run"
exit $status

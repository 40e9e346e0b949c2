#!/usr/bin/env bash
# `make test`: set up, build the three trees that the tests need, run every suite, the
# fuzzers and the release steps, and end with the time each phase took and the list of what
# was skipped and why.
#
# The Windows suites spend most of their time waiting for windows and for Wine's registry
# server, not computing, so each runs in the background as soon as its tree is built, while
# the other trees build and the fuzzers run at a lower priority beside it. Their output is
# shown whole when they end. A phase that fails does not stop the others (every failure is
# seen in one run); a tree that does not build skips the phases that need it.
#   tools/test-all.sh [FUZZ_SECONDS]
set -uo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
fuzz_seconds=${1:-15}
jobs=${JOBS:-$(nproc)}
mkdir -p build
export TARNWICK_SKIPS=$root/build/test-skips.txt TARNWICK_COUNTS=$root/build/test-counts.txt
: >"$TARNWICK_SKIPS"
: >"$TARNWICK_COUNTS"

names=() seconds=() results=()
status=0
started=$SECONDS

record() {
  names+=("$1"); seconds+=("$2"); results+=("$3")
  [ "$3" = FAILED ] && status=1
  return 0
}
# phase NAME COMMAND...: runs one phase in the foreground.
phase() {
  local name=$1; shift
  local t0=$SECONDS
  echo "== $name"
  if "$@"; then record "$name" $((SECONDS - t0)) ok; return 0; fi
  record "$name" $((SECONDS - t0)) FAILED
  return 1
}
skip() {
  record "$1" 0 skipped
  echo "$1: $2" >>"$TARNWICK_SKIPS"
}
# background NAME COMMAND...: starts a phase beside the others; finish NAME waits for it.
declare -A bg_pid bg_start bg_log
background() {
  local name=$1; shift
  local log=build/${name// /-}.log
  echo "== $name: started in the background (its output follows when it ends)"
  bg_start[$name]=$SECONDS bg_log[$name]=$log
  rm -f "$log.end"
  # The phase's own end, which may come long before it is waited for.
  ( "$@" >"$log" 2>&1; rc=$?; echo "$SECONDS" >"$log.end"; exit $rc ) &
  bg_pid[$name]=$!
}
finish() {
  local name=$1 rc=0 result=ok ended
  wait "${bg_pid[$name]}" || rc=$?
  echo "== $name (ran in the background)"
  cat "${bg_log[$name]}"
  ended=$(cat "${bg_log[$name]}.end" 2>/dev/null || echo $SECONDS)
  if [ $rc != 0 ]; then result=FAILED; elif grep -q '^== tests: .* skipped: ' "${bg_log[$name]}"; then result=skipped; fi
  record "$name" $((ended - bg_start[$name])) "$result"
}

build_tree() {
  [ -f "build/$1/build.ninja" ] || cmake --preset "$1" >/dev/null || return 1
  # Below the suites that run beside it: their waits for windows have time-outs.
  nice -n 10 cmake --build --preset "$1" -j "$jobs"
}

report() {
  echo
  echo "== make test: time of each phase (wall clock; background phases overlap the others)"
  local i
  for i in "${!names[@]}"; do
    printf '  %-28s %6ss  %s\n' "${names[$i]}" "${seconds[$i]}" "${results[$i]}"
  done
  printf '  %-28s %6ss\n' "total" "$((SECONDS - started))"
  if [ -s "$TARNWICK_SKIPS" ]; then
    echo "== make test: skipped"
    sed 's/^/  /' "$TARNWICK_SKIPS"
  else
    echo "== make test: nothing skipped"
  fi
  # The suites' tests (a Windows tree's test program counts as one), and each other phase
  # that failed as one failure more.
  local passed=0 failed=0 tree total bad
  while read -r tree total bad; do
    passed=$((passed + total - bad)); failed=$((failed + bad))
  done <"$TARNWICK_COUNTS"
  for i in "${!names[@]}"; do
    [[ ${results[$i]} = FAILED && ${names[$i]} != tests\ * ]] && failed=$((failed + 1))
  done
  echo "tests: $passed passed, $failed failed"
}
trap report EXIT

phase "setup" bash tools/setup.sh || exit 1
# The layers of src/ (HACKING.md): quiet unless an include points up.
phase "layers" bash -c 'out=$(bash tools/check-layers.sh 2>&1) || { grep -v "^down" <<<"$out"; exit 1; }; tail -1 <<<"$out"'

# The sanitized native tree carries the portable unit tests, the help page's test, the
# scripts' own tests and the fuzzers; the Windows trees what needs Windows.
built=()
has() { [[ " ${built[*]} " == *" $1 "* ]]; }
windows_suite() {
  if has "$1"; then
    background "tests $1" bash tools/run-tests.sh "$1"
  else
    skip "tests $1" "the $1 tree did not build"
  fi
}

phase "build win64" build_tree win64 && built+=(win64)
windows_suite win64
phase "build fuzz" build_tree fuzz && built+=(fuzz)
phase "build win32" build_tree win32 && built+=(win32)
windows_suite win32

if has fuzz; then
  phase "tests fuzz" bash tools/run-tests.sh fuzz
  phase "fuzzers (${fuzz_seconds}s each)" nice -n 10 bash tools/run-fuzzers.sh build/fuzz "$fuzz_seconds"
else
  skip "tests fuzz" "the fuzz tree did not build"
  skip "fuzzers" "the fuzz tree did not build"
fi

if has win32 && has win64; then
  phase "dist" bash tools/dist.sh
else
  skip "dist" "a Windows tree did not build"
fi

for tree in win64 win32; do
  [ -n "${bg_pid[tests $tree]:-}" ] && finish "tests $tree"
done
exit $status

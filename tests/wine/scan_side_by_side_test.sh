#!/usr/bin/env bash
# Scans side by side: a long tarnwick-cli scan finds exactly what it finds alone while other
# runs start and end beside it (each run's stop event is its own, so one run that ends does not
# cut another short).
set -euo pipefail
. "$(dirname "${BASH_SOURCE[0]}")/e2e_env.sh" "$@"
big='HKEY_CURRENT_USER\Software\TwSideBySide'
count=12000
unseed() { wine reg delete "$big" /f $view >/dev/null 2>&1 || true; }
trap 'rm -rf "$work"; unseed' EXIT
unseed

# Enough broken entries that the walk takes a while.
mkdir -p "$drive/tarnwick/tmp"
{
  printf 'REGEDIT4\r\n\r\n'
  for i in $(seq 1 $count); do
    printf '[%s\\K%d]\r\n"P"="C:\\\\TwSideGone\\\\%d.exe"\r\n\r\n' "$big" "$i" "$i"
  done
} > "$drive/tarnwick/tmp/side.reg"
wine reg import 'C:\tarnwick\tmp\side.reg' $view >/dev/null 2>&1

status=0
fail() { echo "FAIL: $*"; status=1; }

cli scan CompleteRegistryScan > "$work/alone.txt" 2>/dev/null || fail "the scan alone exited $?"
found=$(grep -ci twsidebyside "$work/alone.txt" || true)
[ "$found" = $count ] || fail "the scan alone found $found of $count"

cli scan CompleteRegistryScan > "$work/long.txt" 2>/dev/null &
long=$!
# Short runs, one after another, for as long as the long one scans: each one that ends
# while the long one still runs would have stopped it when the stop event was shared.
beside=0
while kill -0 $long 2>/dev/null; do
  cli scan Fonts > /dev/null 2>&1 || fail "a short scan beside it exited $?"
  kill -0 $long 2>/dev/null && beside=$((beside + 1))
done
long_status=0
wait $long || long_status=$?
[ $beside -gt 0 ] || fail "no short scan ended while the long one ran; the long one is too short to show anything"
[ $long_status = 0 ] || fail "the long scan exited $long_status"
cmp -s "$work/alone.txt" "$work/long.txt" ||
  fail "the long scan beside others found $(grep -ci twsidebyside "$work/long.txt" || true) of $count"

[ $status = 0 ] && echo "side by side: the long scan found all $count beside $beside other runs"
exit $status

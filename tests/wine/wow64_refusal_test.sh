#!/usr/bin/env bash
# Each build on 64-bit Windows: the 32-bit tarnwick-cli says on standard error that it is for
# 32-bit Windows and exits 1, printing nothing else, whatever the command; the 64-bit one
# runs. The 64-bit Windows is a prefix of its own (<tree>/wow64/wineprefix), beside the
# tree's own prefix, which is for the Windows the build is for.
set -uo pipefail
cli_dir=$1; build_dir=$(cd "$2" && pwd)
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
tools=$(cd "$here/../../tools" && pwd)
host=$build_dir/wow64
export TARNWICK_BUILD_DIR=$host WINEPREFIX=$host/wineprefix WINEDEBUG=-all
"$tools/wine-prefix.sh" "$WINEPREFIX" win64
work=$(mktemp -d); trap 'rm -rf "$work"' EXIT
thirty_two_bit=false
grep -qs '^CMAKE_TOOLCHAIN_FILE:.*i686' "$build_dir/CMakeCache.txt" && thirty_two_bit=true

status=0 passed=0 failed=0
check() { if [ "$1" = 0 ]; then passed=$((passed + 1)); else echo "FAIL: $2"; failed=$((failed + 1)); status=1; fi; }

printf 'This copy of Tarnwick is for 32-bit Windows. On 64-bit Windows, use the 64-bit Tarnwick.\r\n' > "$work/refusal.txt"
for command in "scan --json" "values HKEY_CURRENT_USER\\Software" "--help"; do
  # shellcheck disable=SC2086
  "$tools/wine-run.sh" "$cli_dir/tarnwick-cli.exe" $command > "$work/out.txt" 2> "$work/err.txt"
  code=$?
  if $thirty_two_bit; then
    [ "$code" = 1 ]; check $? "$command: the 32-bit build exits 1 (got $code)"
    [ ! -s "$work/out.txt" ]; check $? "$command: nothing on standard output"
    # Wine's console may end the line with CR LF or LF alone.
    tr -d '\r' < "$work/err.txt" > "$work/err-lf.txt"
    tr -d '\r' < "$work/refusal.txt" > "$work/refusal-lf.txt"
    cmp -s "$work/refusal-lf.txt" "$work/err-lf.txt"; check $? "$command: the refusal on standard error: $(cat "$work/err.txt")"
  else
    [ "$code" = 0 ]; check $? "$command: the 64-bit build runs (got $code)"
    ! grep -q "for 32-bit Windows" "$work/err.txt"; check $? "$command: no refusal"
  fi
done

echo "wow64 refusal: $passed passed, $failed failed"
exit $status

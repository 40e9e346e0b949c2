#!/usr/bin/env bash
# Runs the tests of each named build tree; Windows trees run under Wine, headless under Xvfb.
set -uo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(dirname "$here")
export PATH="$here/bin:$PATH"
status=0
# ctest, its output shown as it comes; its closing count goes to $TARNWICK_COUNTS when set
# ("tree total failed" a line), which tools/test-all.sh adds up.
run_ctest() {
  local preset=$1 log counts
  shift
  log=$(mktemp)
  "$@" 2>&1 | tee "$log"
  local rc=${PIPESTATUS[0]}
  counts=$(sed -n 's/^[0-9]*% tests passed, \([0-9]*\) tests\? failed out of \([0-9]*\)$/\2 \1/p' "$log" | tail -n 1)
  [ -n "${TARNWICK_COUNTS:-}" ] && echo "$preset ${counts:-0 1}" >>"$TARNWICK_COUNTS"
  rm -f "$log"
  return "$rc"
}
for preset in "$@"; do
  echo "== tests: $preset"
  case $preset in
    win32|win64)
      if [ "$preset" = win32 ] && ! can-run-32bit; then
        # No 32-bit Windows program runs here, so the tree was built but its tests wait for
        # a machine that can run them. Why, in the words that `make test` ends with:
        if [ ! -e /usr/lib/wine/wine ]; then
          why="Wine's 32-bit half (wine32:i386) is not installed; tools/setup.sh says why"
        else
          why="this machine cannot run 32-bit programs (no 32-bit support in its kernel)"
        fi
        echo "== tests: win32 skipped: $why"
        [ -n "${TARNWICK_SKIPS:-}" ] && echo "tests win32: $why" >>"$TARNWICK_SKIPS"
        continue
      fi
      run_ctest "$preset" "$here/with-xvfb.sh" ctest --test-dir "$root/build/$preset" --output-on-failure || status=1
      WINEPREFIX="$root/build/$preset/wineprefix" wineserver -k 2>/dev/null || true
      ;;
    *)
      run_ctest "$preset" ctest --test-dir "$root/build/$preset" --output-on-failure || status=1
      ;;
  esac
done
exit $status

#!/usr/bin/env bash
# Runs the tests of each named build tree; Windows trees run under Wine, headless under Xvfb.
set -uo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(dirname "$here")
export PATH="$here/bin:$PATH"
status=0
for preset in "$@"; do
  echo "== tests: $preset"
  case $preset in
    win32|win64)
      if [ "$preset" = win32 ] && ! can-run-32bit; then
        # The kernel of this machine starts no 32-bit programs, so neither Wine's 32-bit
        # loader nor any 32-bit Windows program runs here. The tree was built; its tests wait
        # for a machine that can run them.
        echo "== tests: win32 skipped: this machine cannot run 32-bit programs (no 32-bit support in its kernel)"
        continue
      fi
      "$here/with-xvfb.sh" ctest --test-dir "$root/build/$preset" --output-on-failure || status=1
      WINEPREFIX="$root/build/$preset/wineprefix" wineserver -k 2>/dev/null || true
      ;;
    *)
      ctest --test-dir "$root/build/$preset" --output-on-failure || status=1
      ;;
  esac
done
exit $status

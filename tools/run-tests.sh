#!/usr/bin/env bash
# Runs the tests of each named build tree; Windows trees run under Wine, headless under Xvfb.
set -uo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(dirname "$here")
status=0
for preset in "$@"; do
  echo "== tests: $preset"
  case $preset in
    win32|win64)
      "$here/with-xvfb.sh" ctest --test-dir "$root/build/$preset" --output-on-failure || status=1
      WINEPREFIX="$root/build/$preset/wineprefix" wineserver -k 2>/dev/null || true
      ;;
    *)
      ctest --test-dir "$root/build/$preset" --output-on-failure || status=1
      ;;
  esac
done
exit $status

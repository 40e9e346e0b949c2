#!/usr/bin/env bash
# Starts Tarnwick.exe of a build tree under Wine, in the tree's own sandbox prefix (never
# ~/.wine), seeded with a small demonstration registry. With a display the program opens
# on it; without one it runs under a private Xvfb server for a few seconds and leaves a
# picture of the screen in <tree>/run-screenshot.png.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
export PATH="$here/bin:$PATH"
tree=${1:-build/win64}
tree=$(cd "$tree" && pwd)
exe="$tree/src/Tarnwick.exe"
[ -f "$exe" ] || { echo "run: $exe is not built" >&2; exit 1; }
export TARNWICK_BUILD_DIR=$tree WINEPREFIX=$tree/wineprefix WINEDEBUG=-all
"$here/wine-prefix.sh" "$WINEPREFIX"
"$here/seed-demo-registry.sh"
# The seeding started Wine's desktop without the display chosen below: let it end first.
wineserver -w

if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
  # On a desktop the window manager frames and moves the program's windows; the tests of
  # this prefix, under Xvfb, want them unmanaged again (tools/wine-prefix.sh says why).
  x11_managed() { wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d "$1" /f >/dev/null 2>&1; }
  x11_managed Y
  trap 'x11_managed N; wineserver -w' EXIT
  "$here/wine-run.sh" "$exe"
  exit
fi

shot="$tree/run-screenshot.png"
"$here/with-xvfb.sh" bash -c '
  "$1/wine-run.sh" "$2" &
  program=$!
  # Wait for the main window (after the splash), then let it finish painting.
  for _ in $(seq 120); do
    xdotool search --onlyvisible --name "^Tarnwick Version 2.6$" >/dev/null 2>&1 && break
    sleep 0.5
  done
  sleep 2
  import -window root "$3"
  echo "run: no display, so Tarnwick ran on a private one; what it showed is in $3"
  wineserver -k 2>/dev/null || true
  wait $program 2>/dev/null || true
' run "$here" "$exe" "$shot"

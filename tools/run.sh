#!/usr/bin/env bash
# Starts Tarnwick.exe of a build tree under Wine, in the tree's own sandbox prefix (never
# ~/.wine), seeded once with a small demo registry. With a display, the program opens on
# it; without one it runs under a private Xvfb server for a few seconds and leaves a
# screenshot in <tree>/run-screenshot.png.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(dirname "$here")
tree=${1:-build/win64}
case $tree in /*) ;; *) tree="$root/$tree" ;; esac
exe="$tree/src/Tarnwick.exe"
[ -f "$exe" ] || { echo "run: $exe is not built" >&2; exit 1; }

export WINEPREFIX="$tree/wineprefix" WINEDEBUG=-all LC_ALL=en_US.UTF-8 LANG=en_US.UTF-8
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
"$here/wine-prefix.sh" "$WINEPREFIX"

# A demo registry: a few entries that point at files which are not there, so that a scan
# has something to find, and the program's own key so that its options are kept.
if [ ! -f "$WINEPREFIX/.tarnwick-demo" ]; then
  demo="$WINEPREFIX/drive_c/tarnwick-demo.reg"
  cat > "$demo" <<'REG'
REGEDIT4

[HKEY_LOCAL_MACHINE\SOFTWARE\Tarnwick]

[HKEY_CLASSES_ROOT\.twdemo]
@="TarnwickDemo.Document"

[HKEY_CLASSES_ROOT\TarnwickDemo.Document\shell\open\command]
@="C:\\Program Files\\Gone Away\\viewer.exe \"%1\""

[HKEY_LOCAL_MACHINE\SOFTWARE\Microsoft\Windows\CurrentVersion\App Paths\goneaway.exe]
@="C:\\Program Files\\Gone Away\\goneaway.exe"

[HKEY_LOCAL_MACHINE\SOFTWARE\Microsoft\Windows\CurrentVersion\Run]
"Gone Away Updater"="C:\\Program Files\\Gone Away\\updater.exe /quiet"

[HKEY_LOCAL_MACHINE\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\GoneAway]
"DisplayName"="Gone Away 1.0"
"UninstallString"="C:\\Program Files\\Gone Away\\uninstall.exe"
REG
  wine regedit /S 'C:\tarnwick-demo.reg' >/dev/null 2>&1
  wineserver -w
  touch "$WINEPREFIX/.tarnwick-demo"
fi

if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
  exec "$here/wine-run.sh" "$exe"
fi

# No display: a private one, and a picture of what it showed.
shot="$tree/run-screenshot.png"
export -f 2>/dev/null || true
"$here/with-xvfb.sh" bash -c '
  "$1/wine-run.sh" "$2" &
  program=$!
  sleep 9
  import -window root "$3"
  echo "run: no display; the main window was captured in $3"
  wineserver -k 2>/dev/null || true
  wait $program 2>/dev/null || true
' run "$here" "$exe" "$shot"

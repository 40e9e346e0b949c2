#!/usr/bin/env bash
# Makes a Wine prefix for tests once: booted, without the Z: drive, for the Windows its build
# is for. A 32-bit build is tested on 32-bit Windows (WINEARCH=win32): on 64-bit Windows it
# refuses to run. Every other build gets a 64-bit prefix. A prefix of the wrong kind (made
# before this rule) is made anew. Concurrent callers wait for the one that makes it.
#   wine-prefix.sh PREFIX [win32|win64]
# Without the second argument the kind follows the build tree the prefix lies in.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# Wine through the launcher that works on this machine (tools/bin/wine).
export PATH="$here/bin:$PATH"
prefix=$1
arch=${2:-}
if [ -z "$arch" ]; then
  tree=$(dirname "$prefix")
  arch=win64
  if grep -qs '^CMAKE_TOOLCHAIN_FILE:.*i686' "$tree/CMakeCache.txt"; then
    arch=win32
  elif [ ! -f "$tree/CMakeCache.txt" ] && [ "$(basename "$tree")" = win32 ]; then
    arch=win32
  fi
fi
# Wine links the user folders (Desktop, Documents, ...) to the Linux home directory; a drive
# walk would leave the prefix through them. They become plain empty folders.
keep_inside() {
  local link
  for link in "$prefix"/drive_c/users/*/*; do
    if [ -L "$link" ]; then rm -f "$link" && mkdir -p "$link"; fi
  done
  return 0
}
ready() { [ -f "$prefix/.tarnwick-ready" ] && grep -qs "^#arch=$arch\$" "$prefix/system.reg"; }
# Under Xvfb there is no window manager, and Wine waits two seconds at every hide of a window
# that a window manager would manage for an answer that never comes. The tests' windows are
# unmanaged ones: they open and close at once. (tools/run.sh lets a real desktop manage them.)
unmanaged() { grep -qs '^"Managed"="N"' "$prefix/user.reg"; }
make_unmanaged() {
  WINEPREFIX="$prefix" WINEDEBUG=-all wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
  WINEPREFIX="$prefix" wineserver -w || true
  unmanaged || { echo "wine-prefix: could not make the windows of $prefix unmanaged" >&2; return 1; }
}
ready && unmanaged && { keep_inside; exit 0; }
mkdir -p "$(dirname "$prefix")"
exec 9>"$prefix.lock"
flock 9
ready && unmanaged && exit 0
if ready; then
  make_unmanaged
  exit
fi
export WINEPREFIX="$prefix" WINEARCH="$arch" WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
if [ -e "$prefix" ]; then
  wineserver -k 2>/dev/null || true
  wineserver -w 2>/dev/null || true
  rm -rf "$prefix"
fi
wine wineboot -i >/dev/null 2>&1 || true
wineserver -w || true
# A prefix whose start-up failed has no registry: say so rather than mark it ready.
if [ ! -f "$prefix/system.reg" ]; then
  echo "wine-prefix: Wine could not set up $prefix" >&2
  exit 1
fi
rm -f "$prefix/dosdevices/z:"
keep_inside
make_unmanaged
touch "$prefix/.tarnwick-ready"

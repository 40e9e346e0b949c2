#!/usr/bin/env bash
# Makes a Wine prefix for tests once: booted, without the Z: drive, ready for 32- and
# 64-bit programs. Concurrent callers wait for the one that makes it.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# Wine through the launcher that works on this machine (tools/bin/wine).
export PATH="$here/bin:$PATH"
prefix=$1
# Wine links the user folders (Desktop, Documents, ...) to the Linux home directory; a drive
# walk would leave the prefix through them. They become plain empty folders.
keep_inside() {
  local link
  for link in "$prefix"/drive_c/users/*/*; do
    if [ -L "$link" ]; then rm -f "$link" && mkdir -p "$link"; fi
  done
  return 0
}
[ -f "$prefix/.tarnwick-ready" ] && { keep_inside; exit 0; }
mkdir -p "$prefix"
exec 9>"$prefix.lock"
flock 9
[ -f "$prefix/.tarnwick-ready" ] && exit 0
export WINEPREFIX="$prefix" WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
wine wineboot -i >/dev/null 2>&1 || true
wineserver -w || true
# A prefix whose start-up failed has no registry: say so rather than mark it ready.
if [ ! -f "$prefix/system.reg" ]; then
  echo "wine-prefix: Wine could not set up $prefix" >&2
  exit 1
fi
rm -f "$prefix/dosdevices/z:"
keep_inside
touch "$prefix/.tarnwick-ready"

#!/usr/bin/env bash
# Makes a Wine prefix for tests once: booted, without the Z: drive, ready for 32- and
# 64-bit programs. Concurrent callers wait for the one that makes it.
set -euo pipefail
prefix=$1
[ -f "$prefix/.tarnwick-ready" ] && exit 0
mkdir -p "$prefix"
exec 9>"$prefix.lock"
flock 9
[ -f "$prefix/.tarnwick-ready" ] && exit 0
export WINEPREFIX="$prefix" WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
wineboot -i >/dev/null 2>&1 || true
wineserver -w || true
rm -f "$prefix/dosdevices/z:"
touch "$prefix/.tarnwick-ready"

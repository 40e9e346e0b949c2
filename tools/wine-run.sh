#!/usr/bin/env bash
# Runs a Windows program under Wine in the sandbox prefix of its build tree (never ~/.wine).
# The prefix is made on first use: no Z: drive (a drive walk stays inside the prefix), no
# debug output, and a pinned locale so that the ANSI code page is 1252.
set -euo pipefail
exe=$1; shift
build_dir=${TARNWICK_BUILD_DIR:-}
if [ -z "$build_dir" ]; then
  # The program lives somewhere below build/<preset>/.
  d=$(cd "$(dirname "$exe")" && pwd)
  while [ "$d" != / ] && [ ! -f "$d/CMakeCache.txt" ]; do d=$(dirname "$d"); done
  build_dir=$d
fi
export WINEPREFIX="$build_dir/wineprefix"
export WINEDEBUG=-all
export LC_ALL=en_US.UTF-8 LANG=en_US.UTF-8
# No debugger on a crash: the program ends at once and its test fails instead of waiting.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d;winedbg.exe=d"
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
export PATH="$here/bin:$PATH"
"$here/wine-prefix.sh" "$WINEPREFIX"
# Without a Z: drive Wine sees no Linux path: the program and what lies beside it (other
# programs, the help page) are staged into C:\tarnwick\<folder> and run from there.
src_dir=$(cd "$(dirname "$exe")" && pwd)
stage="$WINEPREFIX/drive_c/tarnwick/$(basename "$src_dir")"
mkdir -p "$stage"
for f in "$src_dir"/*.exe "$src_dir"/*.html "$src_dir"/*.dll; do
  [ -e "$f" ] && cp -u "$f" "$stage/"
done
cd "$stage"
exec wine "$stage/$(basename "$exe")" "$@"

#!/usr/bin/env bash
# Puts the shippable files of each architecture in dist/win32 and dist/win64, and a
# portable zip of each.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
for arch in win32 win64; do
  out="$root/dist/$arch"
  rm -rf "$out"; mkdir -p "$out"
  for f in Tarnwick.exe tarnwick-cli.exe "Tarnwick Help.html"; do
    [ -e "$root/build/$arch/src/$f" ] && cp "$root/build/$arch/src/$f" "$out/"
  done
  # Release binaries carry no debug information.
  strip_tool=$([ $arch = win32 ] && echo i686-w64-mingw32-strip || echo x86_64-w64-mingw32-strip)
  for exe in "$out"/*.exe; do "$strip_tool" "$exe"; done
  (cd "$root/dist" && rm -f "tarnwick-$arch.zip" && zip -qr "tarnwick-$arch.zip" "$arch")
  echo "dist/$arch: $(ls "$out" | tr '\n' ' ')"
done

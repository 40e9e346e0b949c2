#!/usr/bin/env bash
# Makes the release files in dist/: the setup program (32-bit, installs the build that fits the
# Windows it runs on), a portable zip of each build, and SHA256SUMS over them; then checks them.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
version=$(sed -n 's/^project(Tarnwick VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")
[ -n "$version" ] || { echo "dist: no version in CMakeLists.txt" >&2; exit 1; }
dist=$root/dist
stage=$root/build/dist
rm -rf "$dist" "$stage"
mkdir -p "$dist" "$stage"

for arch in win32 win64; do
  out="$stage/tarnwick-$version-$arch"
  mkdir -p "$out"
  for f in Tarnwick.exe tarnwick-cli.exe "Tarnwick Help.html"; do
    if [ ! -e "$root/build/$arch/src/$f" ]; then
      echo "dist: build/$arch/src/$f is missing (run make $arch)" >&2
      exit 1
    fi
    cp "$root/build/$arch/src/$f" "$out/"
  done
  # Release binaries carry no debug information.
  strip_tool=$([ $arch = win32 ] && echo i686-w64-mingw32-strip || echo x86_64-w64-mingw32-strip)
  for exe in "$out"/*.exe; do "$strip_tool" "$exe"; done
  (cd "$stage" && zip -qrX "$dist/tarnwick-$version-$arch.zip" "tarnwick-$version-$arch")
done

makensis -V2 -DVERSION="$version" \
  -DWIN32_DIR="$stage/tarnwick-$version-win32" -DWIN64_DIR="$stage/tarnwick-$version-win64" \
  -DICON_FILE="$root/resources/images/icon_128.ico" -DOUT_FILE="$dist/tarnwick-$version-setup.exe" \
  "$root/installer/tarnwick.nsi"

(cd "$dist" && sha256sum "tarnwick-$version-setup.exe" "tarnwick-$version-win32.zip" \
   "tarnwick-$version-win64.zip" > SHA256SUMS)
bash "$root/tools/check-dist.sh" "$dist" "$version"

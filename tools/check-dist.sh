#!/usr/bin/env bash
# Checks the release files of dist/: every one is there, SHA256SUMS verifies, each zip holds
# the three files of its build for the right machine, and the setup program is a 32-bit
# Windows program carrying the release's version (so it runs on both kinds of Windows).
set -uo pipefail
dist=$1 version=$2
status=0
fail() { echo "check-dist: $*" >&2; status=1; }

setup="tarnwick-$version-setup.exe"
for f in "$setup" "tarnwick-$version-win32.zip" "tarnwick-$version-win64.zip" SHA256SUMS; do
  [ -s "$dist/$f" ] || fail "$f is missing"
done
[ "$(wc -l < "$dist/SHA256SUMS" 2>/dev/null)" = 3 ] || fail "SHA256SUMS does not list the three files"
(cd "$dist" && sha256sum --quiet -c SHA256SUMS) || fail "SHA256SUMS does not verify"

for arch in win32 win64; do
  zip="$dist/tarnwick-$version-$arch.zip"
  listing=$(unzip -Z1 "$zip" 2>/dev/null)
  for f in Tarnwick.exe tarnwick-cli.exe "Tarnwick Help.html"; do
    grep -qxF "tarnwick-$version-$arch/$f" <<< "$listing" || fail "$arch zip lacks $f"
  done
  machine=$([ $arch = win32 ] && echo "Intel 80386" || echo "x86-64")
  tmp=$(mktemp -d)
  unzip -q "$zip" -d "$tmp" 2>/dev/null
  for exe in Tarnwick.exe tarnwick-cli.exe; do
    file "$tmp/tarnwick-$version-$arch/$exe" | grep -q "$machine" || fail "$arch zip: $exe is not an $machine program"
  done
  rm -rf "$tmp"
done

file "$dist/$setup" | grep -q "PE32 executable (GUI) Intel 80386" || fail "$setup is not a 32-bit Windows program"
exiftool -s3 -ProductVersion "$dist/$setup" 2>/dev/null | grep -qxF "$version" || fail "$setup does not carry version $version"

[ $status = 0 ] && echo "dist: $(cd "$dist" && ls | tr '\n' ' ')(SHA256SUMS verified)"
exit $status

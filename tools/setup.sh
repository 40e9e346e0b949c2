#!/usr/bin/env bash
# Installs every Debian package that building and testing Tarnwick needs, and only what is
# missing. Safe to run again: with everything present it returns in well under a second.
set -euo pipefail

packages=(
  cmake ninja-build make g++ clang lld libclang-rt-14-dev libfuzzer-14-dev
  googletest
  mingw-w64 g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix
  wine wine32:i386 wine64
  xvfb x11-utils xdotool imagemagick
  libxml2-utils libimage-exiftool-perl
  nsis zip unzip file python3 python3-pil fonts-dejavu-core locales
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q '^install ok installed$'; then
    missing+=("$p")
  fi
done

if ((${#missing[@]})); then
  if [ "$(id -u)" != 0 ]; then
    echo "setup: these packages are missing and installing them needs root: ${missing[*]}" >&2
    exit 1
  fi
  echo "setup: installing ${missing[*]}"
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    dpkg --add-architecture i386
  fi
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi


# Wine takes its ANSI code page from the locale: en_US.UTF-8 gives code page 1252, which the
# tests pin.
if ! locale -a 2>/dev/null | grep -qi '^en_US\.utf-\?8$'; then
  if [ "$(id -u)" != 0 ]; then
    echo "setup: the en_US.UTF-8 locale is missing and making it needs root" >&2
    exit 1
  fi
  sed -i 's/^# *en_US.UTF-8 UTF-8/en_US.UTF-8 UTF-8/' /etc/locale.gen
  grep -q '^en_US.UTF-8 UTF-8' /etc/locale.gen || echo 'en_US.UTF-8 UTF-8' >> /etc/locale.gen
  locale-gen >/dev/null
fi

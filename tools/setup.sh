#!/usr/bin/env bash
# Installs every Debian package that building and testing Tarnwick needs, and only what is
# missing. Safe to run again: with everything present it returns in well under a second.
#
# It carries on where it can. A package list that fails to download (a mirror caught in the
# middle of a sync) is a warning: the update is tried once more, and then the install is
# tried with the lists as they are. The packages come in two halves: everything that builds
# the programs and runs the native and 64-bit tests, and Wine's 32-bit half, which only the
# 32-bit tree's tests need. When the 32-bit half cannot be installed, the rest is installed
# all the same, the 32-bit tests are skipped with a reason (tools/run-tests.sh), and the set-up
# still succeeds; it fails only when something of the first half is missing. Its last line
# says what it installed and what is missing.
set -uo pipefail

packages=(
  cmake ninja-build make g++ clang lld libclang-rt-14-dev libfuzzer-14-dev
  googletest ccache
  mingw-w64 g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix
  wine wine64
  xvfb x11-utils xdotool imagemagick
  libxml2-utils libimage-exiftool-perl
  nsis zip unzip file xz-utils python3 python3-pil fonts-dejavu-core locales
)
# Wine's 32-bit loader and libraries: the 32-bit tree's tests run in a 32-bit prefix with them.
packages_32bit=(wine32:i386)

installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q '^install ok installed$'; }

missing_of() {
  local p
  for p in "$@"; do installed "$p" || echo "$p"; done
}

mapfile -t missing < <(missing_of "${packages[@]}")
mapfile -t missing_32bit < <(missing_of "${packages_32bit[@]}")
newly=()

# A failed attempt at the 32-bit half is not repeated within the hour: a broken package list
# stays broken for a while, and every build runs this script.
failed_32bit_stamp=${TARNWICK_SETUP_STAMP:-/var/tmp/tarnwick-setup-32bit.failed}
if ((${#missing[@]} == 0 && ${#missing_32bit[@]})) && [ -n "$(find "$failed_32bit_stamp" -mmin -60 2>/dev/null)" ]; then
  echo "setup: missing ${missing_32bit[*]}, which could not be installed within the last hour (not tried again before $(date -d "@$(( $(stat -c %Y "$failed_32bit_stamp") + 3600 ))" +%H:%M)): the 32-bit tests will be skipped" >&2
  exit 0
fi

if ((${#missing[@]} + ${#missing_32bit[@]})); then
  if [ "$(id -u)" != 0 ]; then
    if ((${#missing[@]})); then
      echo "setup: these packages are missing and installing them needs root: ${missing[*]} ${missing_32bit[*]}" >&2
      exit 1
    fi
    echo "setup: missing ${missing_32bit[*]} (installing it needs root): the 32-bit tests will be skipped" >&2
    exit 0
  fi
  wanted=("${missing[@]}" "${missing_32bit[@]}")
  echo "setup: installing ${wanted[*]}"
  export DEBIAN_FRONTEND=noninteractive
  if ((${#missing_32bit[@]})) && ! dpkg --print-foreign-architectures | grep -qx i386; then
    dpkg --add-architecture i386 || echo "setup: warning: could not add the i386 architecture" >&2
  fi
  # One list that fails (a mirror mid-sync) need not stop the rest: apt keeps the lists it
  # has, and the install below says whether they are enough.
  if ! apt-get update -qq; then
    echo "setup: warning: 'apt-get update' failed; trying once more" >&2
    apt-get update -qq || echo "setup: warning: 'apt-get update' failed again; installing from the package lists as they are" >&2
  fi
  apt_install() { apt-get install -y -qq --no-install-recommends "$@"; }
  # Everything but the 32-bit half in one go; should that fail, package by package, so that
  # one package that cannot be had does not keep out the others.
  if ((${#missing[@]})) && ! apt_install "${missing[@]}"; then
    echo "setup: warning: installing them together failed; trying one at a time" >&2
    for p in "${missing[@]}"; do apt_install "$p" || echo "setup: warning: could not install $p" >&2; done
  fi
  if ((${#missing_32bit[@]})) && ! apt_install "${missing_32bit[@]}"; then
    echo "setup: warning: could not install Wine's 32-bit half (${missing_32bit[*]})" >&2
  fi
  for p in "${missing[@]}" "${missing_32bit[@]}"; do installed "$p" && newly+=("$p"); done
  mapfile -t missing < <(missing_of "${packages[@]}")
  mapfile -t missing_32bit < <(missing_of "${packages_32bit[@]}")
  if ((${#missing_32bit[@]})); then touch "$failed_32bit_stamp" 2>/dev/null; else rm -f "$failed_32bit_stamp"; fi
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
  locale-gen >/dev/null || { echo "setup: could not make the en_US.UTF-8 locale" >&2; missing+=(en_US.UTF-8-locale); }
fi

# The one line that says how it went. Nothing to say when nothing was needed.
if ((${#newly[@]} + ${#missing[@]} + ${#missing_32bit[@]})); then
  all_missing=("${missing[@]}" "${missing_32bit[@]}")
  summary="setup: installed ${newly[*]:-nothing}; missing ${all_missing[*]:-nothing}"
  ((${#missing_32bit[@]})) && summary+=" (the 32-bit tests will be skipped)"
  echo "$summary"
fi
((${#missing[@]} == 0))

#!/usr/bin/env bash
# Seeds the current WINEPREFIX with a small demonstration registry: a key with a value of
# each common type, and entries that point at files that do not exist.
set -euo pipefail
: "${WINEPREFIX:?WINEPREFIX must name the sandbox prefix}"
mkdir -p "$WINEPREFIX/drive_c/tarnwick/tmp"
reg="$WINEPREFIX/drive_c/tarnwick/tmp/demo.reg"
printf '%s\r\n' 'REGEDIT4' '' \
  '[HKEY_CURRENT_USER\Software\Tarnwick Demo]' \
  '@="Demonstration key"' \
  '"InstallPath"="C:\\Program Files\\Demo\\demo.exe"' \
  '"Counter"=dword:0000002a' \
  '"Flags"=hex:01,00,ff' \
  '"Paths"=hex(7):43,3a,5c,61,00,43,3a,5c,62,00,00' \
  '"Template"=hex(2):25,53,79,73,74,65,6d,52,6f,6f,74,25,5c,64,65,6d,6f,00' \
  '' \
  '[HKEY_LOCAL_MACHINE\SOFTWARE\Microsoft\Windows\CurrentVersion\App Paths\gone-demo.exe]' \
  '@="C:\\Program Files\\Gone Demo\\gone-demo.exe"' \
  '' \
  '[HKEY_CURRENT_USER\Software\Microsoft\Windows\CurrentVersion\Run]' \
  '"Gone Demo Updater"="\"C:\\Program Files\\Gone Demo\\updater.exe\" /background"' \
  '' > "$reg"
# Wine's reg.exe may be the 32-bit one: name the registry view of the program's build.
view=/reg:32
case ${TARNWICK_BUILD_DIR:-} in *win64*) view=/reg:64 ;; esac
wine reg import 'C:\tarnwick\tmp\demo.reg' "$view" >/dev/null 2>&1

#!/usr/bin/env bash
# The setup program in the tree's own prefix: a silent install puts the files, the Start menu
# shortcut and the Add/Remove Programs entry in place; the command line lists that entry; the
# installed program shows its main window; a silent uninstall removes files, shortcut and entry
# and keeps the user's backups.
# The setup is made from the same script as the release one, holding this tree's build only,
# for the kind of Windows the tree is for (the release setup is 32-bit and holds both builds).
set -uo pipefail
cli_dir=$1; build_dir=$(cd "$2" && pwd)
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/../.." && pwd)
tools=$root/tools
export PATH="$tools/bin:$PATH"
export WINEPREFIX=$build_dir/wineprefix WINEDEBUG=-all LC_ALL=en_US.UTF-8 LANG=en_US.UTF-8
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d;winedbg.exe=d"
"$tools/wine-prefix.sh" "$WINEPREFIX"
work=$(mktemp -d)

status=0 passed=0 failed=0
check() { if [ "$1" = 0 ]; then passed=$((passed + 1)); else echo "FAIL: $2"; failed=$((failed + 1)); status=1; fi; }
# Waits up to $1 seconds for the command after it to succeed, checking as often as it can.
wait_until() {
  local deadline=$((SECONDS + $1)); shift
  until "$@"; do [ $SECONDS -lt $deadline ] || return 1; sleep 0.2; done
}

if grep -qs '^CMAKE_TOOLCHAIN_FILE:.*i686' "$build_dir/CMakeCache.txt"; then
  target=x86-unicode build_var=WIN32_DIR
else
  target=amd64-unicode build_var=WIN64_DIR
fi
version=$(sed -n 's/^project(Tarnwick VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")
makensis -V1 -DVERSION="$version" -D$build_var="$cli_dir" -DOUT_FILE="$work/setup.exe" \
  -DICON_FILE="$root/resources/images/icon_128.ico" -DTARGET=$target -DQUICK_COMPRESSION "$root/installer/tarnwick.nsi" \
  || { echo "FAIL: makensis"; exit 1; }

drive_c=$WINEPREFIX/drive_c
program_dir="$drive_c/Program Files/Tarnwick"
shortcut="$drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Tarnwick.lnk"
entry='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Tarnwick'
reg_view=$([ $target = amd64-unicode ] && echo /reg:64 || echo /reg:32)
entry_value() { sed -n "s/^ *$1 *REG_[A-Z]* *//p" "$work/entry.txt"; }
uninstall() {
  [ -e "$program_dir/Uninstall.exe" ] || return 0
  # The uninstaller copies itself aside and returns at once: its work ends when its own file is gone.
  wine "C:\\Program Files\\Tarnwick\\Uninstall.exe" /S
  wait_until 60 test ! -e "$program_dir/Uninstall.exe"
}
# A test that stopped half-way leaves nothing installed for the other tests of the prefix.
trap 'uninstall >/dev/null 2>&1; rm -rf "$work" "$program_dir"' EXIT
rm -rf "$program_dir"

cp "$work/setup.exe" "$drive_c/tarnwick-setup.exe"
wine 'C:\tarnwick-setup.exe' /S; code=$?
rm -f "$drive_c/tarnwick-setup.exe"
[ "$code" = 0 ]; check $? "silent install exits 0 (got $code)"
for f in Tarnwick.exe tarnwick-cli.exe "Tarnwick Help.html" Uninstall.exe; do
  [ -f "$program_dir/$f" ]; check $? "installed: $f"
done
cmp -s "$cli_dir/Tarnwick.exe" "$program_dir/Tarnwick.exe"; check $? "the installed Tarnwick.exe is this build's"
[ -f "$shortcut" ]; check $? "Start menu shortcut"
# A shell link names its target in the code page, and often in UTF-16 as well.
{ grep -qa 'Tarnwick\\Tarnwick.exe' "$shortcut" ||
  iconv -f UTF-16LE -t UTF-8 "$shortcut" 2>/dev/null | grep -qa 'Tarnwick\\Tarnwick.exe'; }
check $? "the shortcut starts the installed Tarnwick.exe"

wine reg query "$entry" $reg_view 2>/dev/null | tr -d '\r' > "$work/entry.txt"
[ "$(entry_value DisplayName)" = Tarnwick ]; check $? "DisplayName"
[ "$(entry_value DisplayVersion)" = "$version" ]; check $? "DisplayVersion is $version"
[ "$(entry_value Publisher)" = "The Tarnwick developers" ]; check $? "Publisher"
[ "$(entry_value DisplayIcon)" = 'C:\Program Files\Tarnwick\Tarnwick.exe,0' ]; check $? "DisplayIcon: $(entry_value DisplayIcon)"
[ "$(entry_value UninstallString)" = '"C:\Program Files\Tarnwick\Uninstall.exe"' ]; check $? "UninstallString"
[ "$(entry_value QuietUninstallString)" = '"C:\Program Files\Tarnwick\Uninstall.exe" /S' ]; check $? "QuietUninstallString"
[ "$(entry_value NoModify)" = 0x1 ] && [ "$(entry_value NoRepair)" = 0x1 ]; check $? "NoModify and NoRepair"
size=$(entry_value EstimatedSize)
[ -n "$size" ] && [ $((size)) -gt 0 ]; check $? "EstimatedSize in kilobytes: $size"

cli="C:\\Program Files\\Tarnwick\\tarnwick-cli.exe"
wine "$cli" programs list --json > "$work/programs.json" 2> "$work/err.txt"
grep -q '"programName":"Tarnwick","uninstallPath":"\\"C:\\\\Program Files\\\\Tarnwick\\\\Uninstall.exe\\"","subkey":"Tarnwick"' \
  "$work/programs.json"
check $? "programs list shows Tarnwick's own entry: $(cat "$work/programs.json" "$work/err.txt")"

# The installed program starts and shows its main window (the splash comes first).
main_window_shown() { xwininfo -root -tree 2>/dev/null | grep -q '"Tarnwick Version 2.6"'; }
wine "C:\\Program Files\\Tarnwick\\Tarnwick.exe" & program=$!
wait_until 90 main_window_shown; check $? "the installed program shows its main window"
wine taskkill /im Tarnwick.exe >/dev/null 2>&1
wait_until 30 sh -c "! kill -0 $program 2>/dev/null" || kill $program 2>/dev/null
wait $program 2>/dev/null

# The user's backups outlive the program.
mkdir -p "$program_dir/Registry Backups"
printf 'kept\r\n' > "$program_dir/Registry Backups/2026-12-08_08-00-00.reg"
uninstall; check $? "silent uninstall finishes"
for f in Tarnwick.exe tarnwick-cli.exe "Tarnwick Help.html" Uninstall.exe; do
  [ ! -e "$program_dir/$f" ]; check $? "removed: $f"
done
[ ! -e "$shortcut" ]; check $? "shortcut removed"
! wine reg query "$entry" $reg_view >/dev/null 2>&1; check $? "Add/Remove Programs entry removed"
[ "$(cat "$program_dir/Registry Backups/2026-12-08_08-00-00.reg" 2>/dev/null)" = $'kept\r' ]
check $? "the Registry Backups folder is kept with its files"

echo "installer: $passed passed, $failed failed"
exit $status

#!/usr/bin/env bash
# tarnwick-cli full-backup create / restore under Wine: the empty catalogue file and the
# folder of three snapshot files, then a restore that merges a changed and a deleted value
# back (saving what it writes over first), and the removal of the backup with its folder.
set -euo pipefail
cli_dir=$1; build_dir=$2
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
tools=$(cd "$here/../../tools" && pwd)
export TARNWICK_BUILD_DIR=$build_dir WINEPREFIX=$build_dir/wineprefix WINEDEBUG=-all
"$tools/wine-prefix.sh" "$WINEPREFIX"
cli() { "$tools/wine-run.sh" "$cli_dir/tarnwick-cli.exe" "$@"; }
program="$WINEPREFIX/drive_c/tarnwick/$(basename "$cli_dir")"
work=$(mktemp -d); trap 'rm -rf "$work"' EXIT
key='HKEY_CURRENT_USER\Software\TarnwickFullBackupCli'
wine reg delete "$key" /f >/dev/null 2>&1 || true
wine reg add "$key" /v Keep /t REG_SZ /d 'first' /f >/dev/null 2>&1
wine reg add "$key\\Sub" /v Count /t REG_DWORD /d 7 /f >/dev/null 2>&1
status=0 passed=0 failed=0
check() { if [ "$1" = ok ]; then passed=$((passed + 1)); else echo "FAIL: $2"; failed=$((failed + 1)); status=1; fi; }

set +e; out=$(cli full-backup create 2> "$work/create.err"); code=$?; set -e
name=$(printf '%s\n' "$out" | head -1)
# Standard error is a file: no progress line rewritten in place ('\r' inside a line) there.
grep -q $'\r.' "$work/create.err" && check no "no progress on a redirected standard error" || check ok
case "$name" in "FULL "[0-9][0-9][0-9][0-9]-[0-9][0-9]-[0-9][0-9]_[0-9][0-9]-[0-9][0-9]-[0-9][0-9].reg) check ok ;; *) check no "name '$name'" ;; esac
printf '%s\n' "$out" | grep -qx 'Full registry backup is created.' && check ok || check no "completion text"
[ -f "$program/Registry Backups/$name" ] && [ ! -s "$program/Registry Backups/$name" ] && check ok || check no "empty catalogue file"
for f in SOFTWARE HARDWARE CUSOFTWARE; do
  head -c 38 "$program/Full Backups/$name/$f" | grep -q '<?xml version="1.0" encoding="UTF-8"?>' && check ok || check no "snapshot $f"
done
grep -q 'TarnwickFullBackupCli' "$program/Full Backups/$name/CUSOFTWARE" && check ok || check no "the seeded key is in CUSOFTWARE"
# The exit status tells whether every snapshot reached its end (the root element closed at
# its own indentation), and a snapshot cut short is named.
complete=0
for f in SOFTWARE HARDWARE CUSOFTWARE; do
  if ! python3 -c 'import sys; sys.exit(not open(sys.argv[1], "rb").read().endswith(b"\n </registry>\r\n"))' \
       "$program/Full Backups/$name/$f"; then
    complete=1
    grep -q "$f was not written in full" "$work/create.err" && check ok || check no "incomplete $f is reported"
  fi
done
[ "$code" = "$complete" ] && check ok || check no "exit status $code for completeness $complete"

wine reg add "$key" /v Keep /t REG_SZ /d 'changed' /f >/dev/null 2>&1
wine reg delete "$key\\Sub" /f >/dev/null 2>&1
set +e; cli full-backup restore "$name" > "$work/restore.out" 2>/dev/null; set -e
grep -qx 'Full registry backup was restored.' "$work/restore.out" && check ok || check no "restore text"
[ "$(cli values "$key" | grep '^Keep')" = "$(printf 'Keep\tREG_SZ (1)\tfirst')" ] && check ok || check no "changed value restored"
[ "$(cli values "$key\\Sub" | grep '^Count')" = "$(printf 'Count\tREG_DWORD (4)\t0x00000007 (7)')" ] && check ok || check no "deleted key restored"
# What the restore wrote over ('changed') was saved first into a backup of its own, which
# undoes it.
undo=$(sed -n 's/.*values held other data and were written over; what they held is saved in the backup \(.*\)\.\r\?$/\1/p' "$work/restore.out")
[ -n "$undo" ] && [ -f "$program/Registry Backups/$undo" ] && check ok || check no "undo backup named and made"
cli backup show "$undo" | grep -qiF "$key [Keep]" && check ok || check no "undo backup holds the overwritten value"
set +e; cli backup restore "$undo" >/dev/null 2>&1; set -e
[ "$(cli values "$key" | grep '^Keep')" = "$(printf 'Keep\tREG_SZ (1)\tchanged')" ] && check ok || check no "undo backup gives the overwritten value back"
[ -z "$undo" ] || cli backup remove "$undo" >/dev/null

set +e; cli full-backup restore 'FULL nothing.reg' >/dev/null 2>&1; code=$?; set -e
[ "$code" = 1 ] && check ok || check no "unknown backup name gives status 1"
cli backup remove "$name" >/dev/null
[ ! -e "$program/Registry Backups/$name" ] && [ ! -e "$program/Full Backups/$name" ] && check ok || check no "remove"

wine reg delete "$key" /f >/dev/null 2>&1 || true
echo "cli full-backup: $passed passed, $failed failed"
exit $status

#!/usr/bin/env bash
# tarnwick-cli backups / backup show / backup restore / backup remove under Wine, against
# the real registry and a backup file built here byte by byte: the listing by date, the rows,
# a restore with one row unticked, a damaged file refused, and the removal.
set -euo pipefail
cli_dir=$1; build_dir=$2
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
tools=$(cd "$here/../../tools" && pwd)
export TARNWICK_BUILD_DIR=$build_dir WINEPREFIX=$build_dir/wineprefix WINEDEBUG=-all
"$tools/wine-prefix.sh" "$WINEPREFIX"
work=$(mktemp -d); trap 'rm -rf "$work"' EXIT
cli() { "$tools/wine-run.sh" "$cli_dir/tarnwick-cli.exe" "$@"; }
program="$WINEPREFIX/drive_c/tarnwick/$(basename "$cli_dir")"
backups="$program/Registry Backups"
mkdir -p "$backups"
rm -f "$backups"/*.reg
key='HKEY_CURRENT_USER\Software\TarnwickBackupCli'
wine reg delete "$key" /f >/dev/null 2>&1 || true
status=0; passed=0; failed=0
check() { if [ "$1" = ok ]; then passed=$((passed + 1)); else echo "FAIL: $2"; failed=$((failed + 1)); status=1; fi; }

# One record: the key with a string, a DWORD and the unnamed value, and a subkey with a
# binary value.
python3 - "$backups/2005-03-07_14-05-09.reg" <<'PY'
import struct, sys
u = lambda v: struct.pack('<I', v)
t = lambda b: u(len(b)) + b
data = (u(0x80000001) + t(b'Software\\TarnwickBackupCli') + u(3)
        + t(b'Path') + u(1) + t(b'C:\\caf\xe9.exe\x00')
        + t(b'Count') + u(4) + t(b'\x07\x00\x00\x00')
        + t(b'') + u(1) + t(b'unnamed\x00')
        + u(1) + t(b'Sub') + u(1) + t(b'Bin') + u(3) + t(b'\x01\xab\xff') + u(0))
open(sys.argv[1], 'wb').write(data)
PY
touch -d '2005-03-07 14:05:09' "$backups/2005-03-07_14-05-09.reg"
: > "$backups/FULL 2005-03-08_10-00-00.reg"

cli backups > "$work/list.txt"
if grep -q '^2005-03-07_14-05-09.reg	[A-Z][a-z]*day, [A-Z][a-z]* [0-9][0-9], [0-9]\{4\}, [0-9:]\{8\}	C:\\tarnwick\\' "$work/list.txt" \
   && ! grep -q FULL "$work/list.txt"; then check ok; else check no "backups lists the pre-repair backup only"; cat "$work/list.txt"; fi
cli backups --full > "$work/full.txt"
if grep -q '^FULL 2005-03-08_10-00-00.reg' "$work/full.txt" && [ "$(wc -l < "$work/full.txt")" = 1 ]; then check ok; else check no "backups --full"; fi

cli backup show 2005-03-07_14-05-09.reg > "$work/show.txt"
printf '0\tKey\t%s\n1\tValue\t%s [Path]\n2\tValue\t%s [Count]\n3\tValue\t%s []\n4\tKey\t%s\\Sub\n5\tValue\t%s\\Sub [Bin]\n' \
  "$key" "$key" "$key" "$key" "$key" "$key" > "$work/show.expected"
if diff -u "$work/show.expected" "$work/show.txt"; then check ok; else check no "backup show rows"; fi

out=$(cli backup restore 2005-03-07_14-05-09.reg --untick 2)
[ "$out" = "Backup restored!" ] && check ok || check no "restore says: $out"
cli values "$key" --json > "$work/values.json"
cat > "$work/values.expected" <<'JSON'
{"name":"(Default)","type":1,"typeName":"REG_SZ","text":"unnamed"}
{"name":"Path","type":1,"typeName":"REG_SZ","text":"C:\\café.exe"}
JSON
if diff -u "$work/values.expected" "$work/values.json"; then check ok; else check no "restored values (Count unticked)"; fi
[ "$(cli values "$key\\Sub")" = "$(printf '(Default)\tREG_SZ (1)\t(value not set)\nBin\tREG_BINARY (3)\t01 ab ff')" ] && check ok || check no "restored subkey"

# A restore over a value that changed since keeps what it writes over in a backup of its own,
# listed with the others, which undoes the restore.
wine reg add "$key" /v Path /t REG_EXPAND_SZ /d 'C:\changed.exe' /f >/dev/null 2>&1
out=$(cli backup restore 2005-03-07_14-05-09.reg --untick 2)
undo=$(printf '%s\n' "$out" | sed -n 's/^1 values held other data and were written over; what they held is saved in the backup \(.*\.reg\)\.$/\1/p')
[ -n "$undo" ] && [ "$(printf '%s\n' "$out" | tail -1)" = "Backup restored!" ] && check ok || check no "the restore names the backup of what it wrote over: $out"
cli values "$key" --json | grep -q '"name":"Path","type":1,"typeName":"REG_SZ","text":"C:\\\\café.exe"' && check ok || check no "the restore wrote the saved value"
if [ -n "$undo" ]; then
  cli backups | grep -q "^$undo" && check ok || check no "the undo backup is listed with the others"
  # Undoing writes over what the restore wrote, so it keeps that in a backup of its own too.
  out=$(cli backup restore "$undo")
  redo=$(printf '%s\n' "$out" | sed -n 's/^1 values held other data and were written over; what they held is saved in the backup \(.*\.reg\)\.$/\1/p')
  [ -n "$redo" ] && [ "$(printf '%s\n' "$out" | tail -1)" = "Backup restored!" ] && check ok || check no "the undo backup restores: $out"
  cli values "$key" --json | grep -q '"name":"Path","type":2,"typeName":"REG_EXPAND_SZ","text":"C:\\\\changed.exe"' && check ok || check no "the undo gives back what the restore wrote over"
  cli backup remove "$undo" >/dev/null
  [ -z "$redo" ] || cli backup remove "$redo" >/dev/null
fi

# A damaged copy: restored up to the cut, reported, exit status 1.
head -c 40 "$backups/2005-03-07_14-05-09.reg" > "$backups/2005-03-09_00-00-00.reg"
set +e
cli backup restore 2005-03-09_00-00-00.reg > "$work/damaged.out" 2> "$work/damaged.err"; code=$?
set -e
[ "$code" = 1 ] && grep -q 'Backup was not restored!' "$work/damaged.err" && check ok || check no "damaged file (status $code)"

# A crafted file of 1 MiB: one long key path and 80,000 empty values. Every row would repeat
# the path (gigabytes); the listing keeps within its budget, says how many rows it left out,
# and is not taken for a damaged file.
python3 - "$backups/2005-03-10_00-00-00.reg" <<'PY'
import struct, sys
u = lambda v: struct.pack('<I', v)
t = lambda b: u(len(b)) + b
values = 80000
data = u(0x80000001) + t(b'Software\\' + b'k' * 60000) + u(values) + (t(b'') + u(3) + t(b'')) * values + u(0)
open(sys.argv[1], 'wb').write(data)
PY
set +e
cli backup show 2005-03-10_00-00-00.reg > "$work/crafted.out" 2> "$work/crafted.err"; code=$?
set -e
rows=$(wc -l < "$work/crafted.out")
[ "$code" = 1 ] && grep -q 'The backup holds more rows than can be listed: [0-9]* rows are left out.' "$work/crafted.err" &&
  ! grep -q damaged "$work/crafted.err" && [ "$rows" -gt 1 ] && [ "$rows" -lt 80001 ] && check ok ||
  check no "crafted file (status $code, $rows rows): $(cat "$work/crafted.err")"
rm -f "$backups/2005-03-10_00-00-00.reg"

cli backup remove 2005-03-07_14-05-09.reg > /dev/null
cli backup remove 2005-03-09_00-00-00.reg > /dev/null
[ ! -e "$backups/2005-03-07_14-05-09.reg" ] && check ok || check no "remove"
cli backups > "$work/none.txt" 2> "$work/none.err"
[ ! -s "$work/none.txt" ] && grep -q 'No backups present for restore.' "$work/none.err" && check ok || check no "empty catalogue"

rm -f "$backups/FULL 2005-03-08_10-00-00.reg"
wine reg delete "$key" /f >/dev/null 2>&1 || true
echo "cli backups: $passed passed, $failed failed"
exit $status

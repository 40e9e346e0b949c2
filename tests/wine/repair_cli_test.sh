#!/usr/bin/env bash
# tarnwick-cli repair under Wine on a registry seeded by another program (Wine's reg.exe):
# exactly the findings go, a dated backup file is left in "Registry Backups" whose records
# follow the format, and tarnwick-cli backup restore of that file gives back every key and
# value byte for byte (compared through reg export before and after). A broken shortcut the
# repair deletes is in the backup too, and comes back byte for byte.
set -euo pipefail
. "$(dirname "${BASH_SOURCE[0]}")/e2e_env.sh" "$@"
program="$drive/tarnwick/$(basename "$cli_dir")"
backups="$program/Registry Backups"
cleanup() {
  rm -rf "$work" "$drive/tarnwick-repair-cli"
  [ -f "$drive/tarnwick/tmp/repair-unseed.reg" ] && wine reg import 'C:\tarnwick\tmp\repair-unseed.reg' $view >/dev/null 2>&1
  return 0
}
trap cleanup EXIT
mkdir -p "$drive/tarnwick-repair-cli" "$drive/tarnwick/tmp" "$backups"
rm -f "$backups"/*.reg
touch "$drive/tarnwick-repair-cli/there.exe"
cp "$here/../fixtures/shortcuts/gone.lnk" "$drive/tarnwick-repair-cli/gone.lnk"

. "$here/repair_seed.sh" TwRepair 'C:\tarnwick-repair-cli' repair
export_keys before

cli repair ApplicationPaths StartupPrograms Shortcuts > "$work/repair.txt" 2> "$work/repair.err"
backup=$(sed -n 's/^Backup: //p' "$work/repair.txt")
case "$backup" in
  'C:\tarnwick\'*'\Registry Backups\'[0-9][0-9][0-9][0-9]-[0-9][0-9]-[0-9][0-9]_[0-9][0-9]-[0-9][0-9]-[0-9][0-9]*.reg) check ok ;;
  *) check no "repair prints the dated backup file (got '$backup')"; cat "$work/repair.txt" "$work/repair.err" ;;
esac
# Standard error is a file: no progress line rewritten in place ('\r' inside a line) there.
[ -s "$work/repair.err" ] && check no "a repair that succeeds writes nothing to standard error ($(cat -A "$work/repair.err" | head -3))" || check ok
has_key "$APP\\TwRepairGone.exe" && check no "the App Paths finding is gone" || check ok
has_key "$APP\\TwRepairThere.exe" && check ok || check no "the App Paths entry that works stays"
has_value "$RUN" TwRepairGone && check no "the Run finding is gone" || check ok
has_value "$RUN" TwRepairThere && check ok || check no "the Run entry that works stays"
has_key "$APP" && check ok || check no "App Paths itself stays"
ls "$backups" | grep -q '^FixedOn' && check no "the journal does not remain" || check ok
[ -e "$drive/tarnwick-repair-cli/gone.lnk" ] && check no "the broken shortcut is gone" || check ok
cli backup show "${backup##*\\}" | awk -F'\t' '$2 == "File" && $3 == "C:\\tarnwick-repair-cli\\gone.lnk" { found = 1 } END { exit !found }' \
  && check ok || check no "backup show lists the shortcut as a file"

# The file begins with the mark of UTF-8 texts, then holds the App Paths finding in the format:
# root code, path, block.
file="$backups/${backup##*\\}"
python3 - "$file" <<'PY' && check ok || check no "backup records follow the format"
import struct, sys
data = open(sys.argv[1], 'rb').read()
pos = 0
def u():
    global pos
    v = struct.unpack_from('<I', data, pos)[0]; pos += 4; return v
def t():
    global pos
    n = u(); s = data[pos:pos + n]; assert len(s) == n; pos += n; return s
def block():
    for _ in range(u()):
        t(); u(); t()
    for _ in range(u()):
        t(); block()
assert data[:4] == b'UTF8'
pos = 4
found = False
while pos < len(data):
    root = u(); path = t()
    if root == 0x454C4946:  # "FILE": path, attributes, bytes
        u(); t()
        continue
    assert root in (0x80000000, 0x80000001, 0x80000002, 0x80000003), hex(root)
    start = pos
    block()
    if path.lower().endswith(b'app paths\\twrepairgone.exe'):
        found = root == 0x80000002
assert pos == len(data)
assert found
PY

cli backup restore "$backup" > "$work/restore.txt"
[ "$(cat "$work/restore.txt")" = "Backup restored!" ] && check ok || check no "restore says $(cat "$work/restore.txt")"
export_keys after
cmp -s "$here/../fixtures/shortcuts/gone.lnk" "$drive/tarnwick-repair-cli/gone.lnk" && check ok || check no "the shortcut comes back byte for byte"
if cmp -s "$work/before.reg" "$work/after.reg"; then check ok; else
  check no "restore gives back every key and value byte for byte"; diff <(iconv -f UTF-16LE -t UTF-8 "$work/before.reg") <(iconv -f UTF-16LE -t UTF-8 "$work/after.reg") | head -20
fi

cli backup remove "${backup##*\\}" >/dev/null
echo "cli repair: $passed passed, $failed failed"
exit $status

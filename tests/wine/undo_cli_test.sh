#!/usr/bin/env bash
# tarnwick-cli undo under Wine: a repair of entries seeded by another program (Wine's
# reg.exe), then one undo, gives back every key and value byte for byte (reg export before
# the repair equals reg export after the undo) and the broken shortcut the repair deleted; a
# second undo says the repair is undone already, changes nothing and fails.
set -euo pipefail
. "$(dirname "${BASH_SOURCE[0]}")/e2e_env.sh" "$@"
program="$drive/tarnwick/$(basename "$cli_dir")"
backups="$program/Registry Backups"
folder="$drive/tarnwick-undo-cli"
cleanup() {
  rm -rf "$work" "$folder"
  [ -f "$drive/tarnwick/tmp/undo-unseed.reg" ] && wine reg import 'C:\tarnwick\tmp\undo-unseed.reg' $view >/dev/null 2>&1
  return 0
}
trap cleanup EXIT
mkdir -p "$folder" "$drive/tarnwick/tmp" "$backups"
touch "$folder/there.exe"
cp "$here/../fixtures/shortcuts/gone.lnk" "$folder/gone.lnk"

. "$here/repair_seed.sh" TwUndo 'C:\tarnwick-undo-cli' undo
export_keys before

cli repair ApplicationPaths StartupPrograms Shortcuts > "$work/repair.txt" 2> "$work/repair.err" || true
backup=$(sed -n 's/^Backup: //p' "$work/repair.txt")
has_key "$APP\\TwUndoGone.exe" && check no "the repair removes the App Paths finding" || check ok
[ -e "$folder/gone.lnk" ] && check no "the repair deletes the broken shortcut" || check ok
grep -q '^New problems: ' "$work/repair.txt" && check ok || check no "repair prints the second look's count"

if cli undo > "$work/undo.txt" 2> "$work/undo.err"; then check ok; else check no "undo succeeds: $(cat "$work/undo.err")"; fi
[ "$(sed -n 's/^Backup: //p' "$work/undo.txt")" = "$backup" ] && check ok \
  || check no "undo names the repair's backup $backup (got $(cat "$work/undo.txt"))"
grep -q '^The repair is undone: [0-9]* items were written back\.' "$work/undo.txt" && check ok \
  || check no "undo says what it wrote back (got $(cat "$work/undo.txt"))"
export_keys after
if cmp -s "$work/before.reg" "$work/after.reg"; then check ok; else
  check no "undo gives back every key and value byte for byte"
  diff <(iconv -f UTF-16LE -t UTF-8 "$work/before.reg") <(iconv -f UTF-16LE -t UTF-8 "$work/after.reg") | head -20
fi
cmp -s "$here/../fixtures/shortcuts/gone.lnk" "$folder/gone.lnk" && check ok || check no "the shortcut comes back byte for byte"

if cli undo > "$work/again.txt" 2> "$work/again.err"; then check no "a second undo fails"; else check ok; fi
grep -q '^The last repair (backup .*) is already undone\.' "$work/again.err" && check ok \
  || check no "a second undo says the repair is undone already (got $(cat "$work/again.err"))"
export_keys again
cmp -s "$work/before.reg" "$work/again.reg" && check ok || check no "a second undo changes nothing"

cli backup remove "${backup##*\\}" >/dev/null || true
echo "cli undo: $passed passed, $failed failed"
exit $status

#!/usr/bin/env bash
# Names and folders in any script (Cyrillic, Greek, CJK, an emoji outside the BMP), written by
# another program through the wide calls: the scan reports none of the sound entries and each
# broken one with its real characters, the repair removes the broken ones and its backup gives
# back every byte; and for a user whose profile folder is not in Latin letters, the user shell
# folders that exist are not reported.
set -euo pipefail
. "$(dirname "${BASH_SOURCE[0]}")/e2e_env.sh" "$@"
APP='HKEY_LOCAL_MACHINE\SOFTWARE\Microsoft\Windows\CurrentVersion\App Paths'
RUN='HKEY_CURRENT_USER\Software\Microsoft\Windows\CurrentVersion\Run'
profile="$drive/users/Иван"
# A .reg file in UTF-16, as regedit writes them: every character reaches the registry whole.
import_reg() {  # $1: name; the text on stdin
  mkdir -p "$drive/tarnwick/tmp"
  { printf 'Windows Registry Editor Version 5.00\r\n\r\n'; cat; } | iconv -f UTF-8 -t UTF-16 > "$drive/tarnwick/tmp/$1.reg"
  wine reg import "C:\\tarnwick\\tmp\\$1.reg" $view >/dev/null 2>&1
}
# REG_EXPAND_SZ data as a hex(2) list of its UTF-16 bytes with the terminator.
expand_hex() { printf '%s\0' "$1" | iconv -f UTF-8 -t UTF-16LE | od -An -tx1 -v | tr -s ' \n' ',' | sed 's/^,//; s/,$//'; }
unseed() {
  import_reg unseed <<REG
[-$APP\\Ёлка.exe]

[-$APP\\Ёж 工具.exe]

[$RUN]
"Ёлка"=-
"数据"=-
"Ωμέγα 🎉"=-
REG
  rm -rf "$drive/Программы" "$drive/数据" "$profile"
}
trap 'unseed; rm -rf "$work"' EXIT
unseed

mkdir -p "$drive/Программы/Ёлка" "$drive/数据"
: > "$drive/Программы/Ёлка/app.exe"
: > "$drive/数据/工具.exe"
import_reg seed <<REG
[$APP\\Ёлка.exe]
@="C:\\\\Программы\\\\Ёлка\\\\app.exe"

[$APP\\Ёж 工具.exe]
@="C:\\\\数据\\\\缺失 🎉.exe"

[$RUN]
"Ёлка"="\\"C:\\\\Программы\\\\Ёлка\\\\app.exe\\" /min"
"数据"=hex(2):$(expand_hex '%SystemDrive%\数据\工具.exe -ключ')
"Ωμέγα 🎉"="C:\\\\Ωμέγα\\\\gone.exe"
REG

status=0 passed=0 failed=0
check() { if [ "$1" = ok ]; then passed=$((passed + 1)); else echo "FAIL: $2"; failed=$((failed + 1)); status=1; fi; }
export_keys() {  # $1: output name
  wine reg export "$APP" "C:\\tarnwick\\tmp\\$1-app.reg" /y $view >/dev/null 2>&1
  wine reg export "$RUN" "C:\\tarnwick\\tmp\\$1-run.reg" /y $view >/dev/null 2>&1
  cat "$drive/tarnwick/tmp/$1-app.reg" "$drive/tarnwick/tmp/$1-run.reg" > "$work/$1.reg"
}
export_keys before

# The scan: the two broken entries, with their real characters; none of the sound ones.
cli scan ApplicationPaths StartupPrograms --json > "$work/scan.json" 2>/dev/null || true
python3 - "$work/scan.json" <<'PY' && check ok || check no "the scan reports exactly the broken entries, every character kept"
import json, sys
rows = [json.loads(line) for line in open(sys.argv[1], encoding='utf-8') if line.strip()]
ours = sorted((r['section'], r['keyPath'], r['valueName'], r['description']) for r in rows
              if any(m in r.get('keyPath', '') + r.get('valueName', '') + r.get('valueText', '')
                     for m in ('Ёлка', 'ёлка', '数据', 'Ωμέγα', '工具')))
expected = sorted([
    ('Application Paths', 'HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\ёж 工具.exe',
     '(Default)', 'C:\\数据\\缺失 🎉.exe'),
    ('Startup Programs', 'HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\Currentversion\\Run', 'Ωμέγα 🎉',
     'C:\\Ωμέγα\\gone.exe'),
])
if ours != expected:
    print('got', ours, file=sys.stderr)
    sys.exit(1)
PY
grep -q '?' <(grep -e 'Ωμέγα' -e '工具' "$work/scan.json") && check no "no character became '?'" || check ok

# The repair removes exactly the broken ones; its backup gives back every byte.
cli repair ApplicationPaths StartupPrograms > "$work/repair.txt" 2> "$work/repair.err" || true
backup=$(sed -n 's/^Backup: //p' "$work/repair.txt")
wine reg query "$APP\\Ёж 工具.exe" $view >/dev/null 2>&1 && check no "the broken App Paths entry is gone" || check ok
wine reg query "$APP\\Ёлка.exe" $view >/dev/null 2>&1 && check ok || check no "the sound App Paths entry stays"
export_keys repaired
iconv -f UTF-16 -t UTF-8 "$work/repaired.reg" > "$work/repaired.txt"
grep -q 'Ωμέγα 🎉' "$work/repaired.txt" && check no "the broken Run entry is gone" || check ok
grep -q '"Ёлка"' "$work/repaired.txt" && grep -q '"数据"=hex(2)' "$work/repaired.txt" && check ok || check no "the sound Run entries stay"
if [ -n "$backup" ]; then
  cli backup show "${backup##*\\}" > "$work/show.txt"
  grep -q 'Ёж 工具.exe' "$work/show.txt" && grep -q 'Ωμέγα 🎉' "$work/show.txt" && check ok || check no "backup show names the items in their own characters"
  [ "$(cli backup restore "$backup")" = "Backup restored!" ] && check ok || check no "the backup restores"
  export_keys after
  if cmp -s "$work/before.reg" "$work/after.reg"; then check ok; else
    check no "the restore gives back every key and value byte for byte"
    diff <(iconv -f UTF-16 -t UTF-8 "$work/before.reg") <(iconv -f UTF-16 -t UTF-8 "$work/after.reg") | head -20
  fi
  cli backup remove "${backup##*\\}" >/dev/null || true
else
  check no "the repair made a backup"; cat "$work/repair.txt" "$work/repair.err"
fi

# The managers move entries named in any script into their store and back with their own
# type and bytes: the REG_EXPAND_SZ Run entry "数据" and an Add/Remove Programs entry "Ёлка 数据".
UNINSTALL='HKEY_CURRENT_USER\Software\Microsoft\Windows\CurrentVersion\Uninstall'
import_reg programs <<REG
[$UNINSTALL\\Ёлка 数据]
"DisplayName"="Ёлка 数据 Ωμέγα"
"UninstallString"=hex(2):$(expand_hex '%SystemDrive%\数据\工具.exe /удалить')
REG
wine reg export "$UNINSTALL" 'C:\tarnwick\tmp\programs-before.reg' /y $view >/dev/null 2>&1
wine reg export "$RUN" 'C:\tarnwick\tmp\run-before.reg' /y $view >/dev/null 2>&1
run_entry=$(cli startup list | cut -f1 | grep '\\数据$' | head -1)
program=$(cli programs list | cut -f1 | grep 'Ёлка 数据$' | head -1)
if [ -n "$run_entry" ] && [ -n "$program" ] && cli startup remove "$run_entry" >/dev/null && cli programs remove "$program" >/dev/null; then
  wine reg query "$RUN" /v 数据 $view >/dev/null 2>&1 && check no "the Run entry left its place" || check ok
  cli startup restore "$run_entry" >/dev/null && cli programs restore "$program" >/dev/null && check ok || check no "the entries come back"
  wine reg export "$UNINSTALL" 'C:\tarnwick\tmp\programs-after.reg' /y $view >/dev/null 2>&1
  wine reg export "$RUN" 'C:\tarnwick\tmp\run-after.reg' /y $view >/dev/null 2>&1
  for k in programs run; do
    cmp -s "$drive/tarnwick/tmp/$k-before.reg" "$drive/tarnwick/tmp/$k-after.reg" && check ok || check no "$k entry back byte for byte"
  done
else
  check no "the managers list and remove entries named in any script ($run_entry | $program)"
fi
wine reg delete "$UNINSTALL\\Ёлка 数据" /f $view >/dev/null 2>&1 || true

# A user whose profile folder is C:\users\Иван: the profile list names it. Where its folders
# exist, the user shell folders that name them are not reported, as for a Latin name.
PROFILES='HKEY_LOCAL_MACHINE\SOFTWARE\Microsoft\Windows NT\CurrentVersion\ProfileList'
sid=$(wine reg query "$PROFILES" $view 2>/dev/null | tr -d '\r' | sed -n 's/.*\\\(S-1-5-21-[0-9-]*\)$/\1/p' | head -1)
own=$(wine reg query "$PROFILES\\$sid" /v ProfileImagePath $view 2>/dev/null | tr -d '\r' | sed -n 's/.*REG_[A-Z_]*SZ *//p')
set_profile() { import_reg profile <<REG
[$PROFILES\\$sid]
"ProfileImagePath"="${1//\\/\\\\}"
REG
}
restore_profile() { [ -z "$own" ] || set_profile "$own"; }
trap 'restore_profile; unseed; rm -rf "$work"' EXIT
me_dir="$drive/users/${own##*\\}"
cli scan RegistryIntegrity --json > "$work/latin.json" 2>/dev/null || true
set_profile 'C:\users\Иван'
cli scan RegistryIntegrity --json > "$work/bare.json" 2>/dev/null || true
grep -qF 'C:\\users\\Иван\\' "$work/bare.json" && check ok || check no "folders missing from the profile are reported in their own characters"
(cd "$me_dir" && find -L . -type d 2>/dev/null) | while read -r d; do mkdir -p "$profile/$d"; done
cli scan RegistryIntegrity --json > "$work/cyrillic.json" 2>/dev/null || true
restore_profile
python3 - "$work/latin.json" "$work/cyrillic.json" "${own##*\\}" <<'PY' && check ok || check no "the scan of a Cyrillic profile finds what the scan of a Latin one finds, and no folder of it"
import json, sys
def rows(path, user):
    out = set()
    for line in open(path, encoding='utf-8'):
        if line.strip():
            r = {k: v.replace('\\users\\' + user + '\\', '\\users\\USER\\') if isinstance(v, str) else v
                 for k, v in json.loads(line).items()}
            out.add(json.dumps(r, sort_keys=True, ensure_ascii=False))
    return out
latin, cyrillic = rows(sys.argv[1], sys.argv[3]), rows(sys.argv[2], 'Иван')
if latin != cyrillic or any('Иван' in r or '?' in r for r in cyrillic):
    print('only latin:', sorted(latin - cyrillic)[:5], 'only cyrillic:', sorted(cyrillic - latin)[:5], file=sys.stderr)
    sys.exit(1)
PY

echo "any script: $passed passed, $failed failed"
exit $status

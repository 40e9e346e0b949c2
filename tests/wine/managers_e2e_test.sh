#!/usr/bin/env bash
# End to end under Wine: tarnwick-cli's managers against entries written by Wine's own reg.exe,
# and its version command against an independent reader (exiftool) of the same files.
# Arguments: the folder of tarnwick-cli.exe, the build folder.
set -euo pipefail
cli_dir=$1; build_dir=$2
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/../.." && pwd)
export TARNWICK_BUILD_DIR=$build_dir
export WINEPREFIX="$build_dir/wineprefix" WINEDEBUG=-all
export LC_ALL=en_US.UTF-8 LANG=en_US.UTF-8
"$root/tools/wine-prefix.sh" "$WINEPREFIX"

# reg.exe must look at the registry view the program sees: a 32-bit program on 64-bit Windows
# sees the redirected one.
case "$(basename "$build_dir")" in
  win32) view=/reg:32 ;;
  *) view=/reg:64 ;;
esac
cli() { "$root/tools/wine-run.sh" "$cli_dir/tarnwick-cli.exe" "$@" | tr -d '\r'; }
reg() { (cd "$WINEPREFIX" && wine reg "$@" $view 2>/dev/null) | tr -d '\r'; }
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
expect_in() {  # text pattern what
  grep -qF -- "$2" <<<"$1" || fail "$3: expected to find [$2] in:"$'\n'"$1"
}
expect_not_in() {
  if grep -qF -- "$2" <<<"$1"; then fail "$3: did not expect [$2] in:"$'\n'"$1"; fi
}

run='Software\Microsoft\Windows\CurrentVersion\Run'
runonce='Software\Microsoft\Windows\CurrentVersion\RunOnce'
run32='Software\Wow6432Node\Microsoft\Windows\CurrentVersion\Run'
runonce32='Software\Wow6432Node\Microsoft\Windows\CurrentVersion\RunOnce'
bho='HKLM\Software\Microsoft\Windows\CurrentVersion\Explorer\Browser Helper Objects'
uninstall='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall'
name=TarnwickE2E
clsid='{7A6E3A1B-0C8D-4F2E-9B1A-3C5D7E9F0A12}'

cleanup() {
  local key
  for key in "HKLM\\$run" "HKCU\\$run" "HKLM\\$runonce" "HKCU\\$runonce" "HKLM\\$run32" "HKLM\\$runonce32"; do
    reg delete "$key" /v $name /f >/dev/null || true
  done
  local hive store
  for hive in HKLM HKCU; do
    for store in StartupManager StartupManager\\RunOnce StartupManager\\Run32 StartupManager\\RunOnce32; do
      reg delete "$hive\\Software\\Tarnwick\\$store" /v $name /f >/dev/null || true
    done
    reg delete "$hive\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\$name" /f >/dev/null || true
    reg delete "$hive\\Software\\Tarnwick\\AddRemoveProgram\\$name" /f >/dev/null || true
  done
  reg delete "HKLM\\Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\$name" /f >/dev/null || true
  reg delete "HKLM\\Software\\Tarnwick\\AddRemoveProgram32\\$name" /f >/dev/null || true
  reg delete "$bho\\$clsid" /f >/dev/null || true
  reg delete "HKLM\\Software\\Tarnwick\\BhoManager\\$clsid" /f >/dev/null || true
  reg delete "HKCR\\CLSID\\$clsid" /f >/dev/null || true
  reg delete "$uninstall\\$name" /f >/dev/null || true
  reg delete "HKLM\\Software\\Tarnwick\\AddRemoveProgram\\$name" /f >/dev/null || true
}
cleanup
trap cleanup EXIT

# ---- startup programs: both roots, machine first; a removal stays under its own root
reg add "HKLM\\$run" /v $name /t REG_SZ /d 'C:\machine\agent.exe /tray' /f >/dev/null
reg add "HKCU\\$run" /v $name /t REG_EXPAND_SZ /d '"C:\Program Files\User\agent.exe" -q' /f >/dev/null
listing=$(cli startup list)
machine_line=$(grep -n "^HKEY_LOCAL_MACHINE\\\\SOFTWARE\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Run\\\\$name	" <<<"$listing" | cut -d: -f1 || true)
user_line=$(grep -n "^HKEY_CURRENT_USER\\\\SOFTWARE\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Run\\\\$name	" <<<"$listing" | cut -d: -f1 || true)
if [ -z "$machine_line" ] || [ -z "$user_line" ] || [ "$machine_line" -ge "$user_line" ]; then
  fail "startup list: machine row before user row expected:"$'\n'"$listing"
fi
expect_in "$(cli startup list --json)" "{\"programName\":\"$name\",\"runPath\":\"\\\"C:\\\\Program Files\\\\User\\\\agent.exe\\\" -q\",\"root\":\"HKEY_CURRENT_USER\",\"name\":\"$name\",\"key\":\"HKEY_CURRENT_USER\\\\SOFTWARE\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Run\",\"location\":\"HKCU Run\"}" "startup list --json"

cli startup remove "HKEY_CURRENT_USER\\$name" >/dev/null
expect_in "$(reg query 'HKCU\Software\Tarnwick\StartupManager' /v $name)" 'agent.exe" -q' "user value in the user's store"
expect_not_in "$(reg query 'HKLM\Software\Tarnwick\StartupManager' /v $name)" "$name" "user value not in the machine's store"
expect_not_in "$(reg query "HKCU\\$run" /v $name)" "$name" "user value gone from Run"
expect_in "$(reg query "HKLM\\$run" /v $name)" 'C:\machine\agent.exe /tray' "machine twin untouched"
expect_in "$(cli startup list --store)" "HKEY_CURRENT_USER\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run\\$name" "store listing"

cli startup restore "HKEY_CURRENT_USER\\$name" >/dev/null
expect_in "$(reg query "HKCU\\$run" /v $name)" 'REG_EXPAND_SZ' "restored with its own type"
expect_in "$(reg query "HKCU\\$run" /v $name)" '"C:\Program Files\User\agent.exe" -q' "restored text"
expect_not_in "$(reg query 'HKCU\Software\Tarnwick\StartupManager' /v $name)" "$name" "store emptied"

# ---- the same name removed twice: the program put its entry back since. The stored copy is
# not replaced, the live one is not overwritten on restore, and the command says why.
cli startup remove "HKEY_CURRENT_USER\\$name" >/dev/null
reg add "HKCU\\$run" /v $name /t REG_SZ /d 'C:\again\agent.exe' /f >/dev/null
if out=$(cli startup remove "HKEY_CURRENT_USER\\$name" 2>&1); then fail "a second removal of $name succeeded"; fi
expect_in "$out" "is still stored; restore that one first" "second removal says why"
if out=$(cli startup restore "HKEY_CURRENT_USER\\$name" 2>&1); then fail "a restore over the live $name succeeded"; fi
expect_in "$out" "in its place again; the stored one is kept" "restore over a live entry says why"
expect_in "$(reg query 'HKCU\Software\Tarnwick\StartupManager' /v $name)" 'agent.exe" -q' "the stored copy kept"
expect_in "$(reg query "HKCU\\$run" /v $name)" 'C:\again\agent.exe' "the live entry kept"
reg delete "HKCU\\$run" /v $name /f >/dev/null
cli startup restore "HKEY_CURRENT_USER\\$name" >/dev/null || fail "restore once the name is free"
expect_in "$(reg query "HKCU\\$run" /v $name)" '"C:\Program Files\User\agent.exe" -q' "restored after all"

# ---- a browser helper object: the subkey moves, the class registration stays
reg add "$bho\\$clsid" /v NoExplorer /t REG_DWORD /d 1 /f >/dev/null
reg add "HKCR\\CLSID\\$clsid\\InprocServer32" /ve /d 'C:\Program Files\Bar\bar.dll' /f >/dev/null
expect_in "$(cli bho list)" "$clsid	C:\\Program Files\\Bar\\bar.dll" "bho list"
before=$(reg query "$bho\\$clsid" /s)
cli bho remove "$clsid" >/dev/null
expect_not_in "$(reg query "$bho\\$clsid" /s)" NoExplorer "object gone from the source"
expect_in "$(reg query "HKLM\\Software\\Tarnwick\\BhoManager\\$clsid" /s)" NoExplorer "object in the store"
expect_in "$(reg query "HKCR\\CLSID\\$clsid\\InprocServer32" /ve)" 'bar.dll' "class registration untouched"
cli bho restore "$clsid" >/dev/null
[ "$(reg query "$bho\\$clsid" /s)" = "$before" ] || fail "bho restore gives back another key"

# ---- an uninstall entry with a subkey
reg add "$uninstall\\$name" /v DisplayName /d 'Tarnwick E2E' /f >/dev/null
reg add "$uninstall\\$name" /v UninstallString /d 'C:\e2e\uninstall.exe /x' /f >/dev/null
reg add "$uninstall\\$name\\Details" /v Size /t REG_DWORD /d 42 /f >/dev/null
expect_in "$(cli programs list --json)" "{\"programName\":\"Tarnwick E2E\",\"uninstallPath\":\"C:\\\\e2e\\\\uninstall.exe /x\",\"subkey\":\"$name\",\"key\":\"HKEY_LOCAL_MACHINE\\\\SOFTWARE\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Uninstall\\\\$name\",\"location\":\"HKLM\"}" "programs list --json"
before=$(reg query "$uninstall\\$name" /s | sed "s/\\\\Uninstall\\\\/\\\\X\\\\/")
cli programs remove $name >/dev/null
expect_not_in "$(reg query "$uninstall\\$name" /s)" DisplayName "entry gone from Uninstall"
stored=$(reg query "HKLM\\Software\\Tarnwick\\AddRemoveProgram\\$name" /s | sed "s/\\\\Tarnwick\\\\AddRemoveProgram\\\\/\\\\X\\\\/; s/\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\X\\\\/\\\\X\\\\/")
expect_in "$stored" "Size" "subkey in the store"
cli programs restore $name >/dev/null
after=$(reg query "$uninstall\\$name" /s | sed "s/\\\\Uninstall\\\\/\\\\X\\\\/")
[ "$after" = "$before" ] || fail "programs restore gives back another key:"$'\n'"$before"$'\n'"---"$'\n'"$after"

# ---- the other places: RunOnce of both roots and, on 64-bit Windows, Run and RunOnce of the
# 32-bit view; the user's Uninstall and the 32-bit view's. One entry of the same name in each,
# every one moved to its own place's store and back with its type and data (reg query before
# and after), its namesakes elsewhere untouched.
value_line() {  # key: the value's name, type and data as reg query shows them, or nothing
  reg query "$1" /v $name | grep -F "$name" | sed 's/^ *//' || true
}
hklm=HKEY_LOCAL_MACHINE\\SOFTWARE
hkcu=HKEY_CURRENT_USER\\SOFTWARE
places=("HKLM\\$runonce" "HKCU\\$runonce")
ids=("$hklm\\Microsoft\\Windows\\CurrentVersion\\RunOnce\\$name" "$hkcu\\Microsoft\\Windows\\CurrentVersion\\RunOnce\\$name")
stores=('HKLM\Software\Tarnwick\StartupManager\RunOnce' 'HKCU\Software\Tarnwick\StartupManager\RunOnce')
locations=("HKLM RunOnce" "HKCU RunOnce")
reg add "HKLM\\$runonce" /v $name /t REG_EXPAND_SZ /d '%SystemRoot%\once-machine.exe /x' /f >/dev/null
reg add "HKCU\\$runonce" /v $name /t REG_SZ /d '"C:\Users\Once\once.exe" -q' /f >/dev/null
if [ "$view" = /reg:64 ]; then
  places+=("HKLM\\$run32" "HKLM\\$runonce32")
  ids+=("$hklm\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Run\\$name"
        "$hklm\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\RunOnce\\$name")
  stores+=('HKLM\Software\Tarnwick\StartupManager\Run32' 'HKLM\Software\Tarnwick\StartupManager\RunOnce32')
  locations+=("HKLM Run (32-bit)" "HKLM RunOnce (32-bit)")
  reg add "HKLM\\$run32" /v $name /t REG_SZ /d 'C:\Program Files (x86)\Agent\agent32.exe /tray' /f >/dev/null
  reg add "HKLM\\$runonce32" /v $name /t REG_EXPAND_SZ /d '%ProgramFiles(x86)%\setup32.exe /finish' /f >/dev/null
fi
before=()
for i in "${!places[@]}"; do before+=("$(value_line "${places[$i]}")"); done
machine_run=$(value_line "HKLM\\$run")
listing=$(cli startup list)
json=$(cli startup list --json)
for i in "${!places[@]}"; do
  [ -n "${before[$i]}" ] || fail "seeding ${places[$i]}"
  expect_in "$listing" "${ids[$i]}	" "startup list names ${places[$i]}"
  expect_in "$json" "\"location\":\"${locations[$i]}\"" "startup list --json says ${locations[$i]}"
done
cli startup remove "${ids[@]}" >/dev/null || fail "startup remove of every place"
for i in "${!places[@]}"; do
  [ -z "$(value_line "${places[$i]}")" ] || fail "${places[$i]}: value still there after removal"
  [ "$(value_line "${stores[$i]}")" = "${before[$i]}" ] ||
    fail "${stores[$i]}: stored [$(value_line "${stores[$i]}")], expected [${before[$i]}]"
done
[ "$(value_line "HKLM\\$run")" = "$machine_run" ] || fail "the Run namesake changed"
stored=$(cli startup list --store)
for i in "${!places[@]}"; do expect_in "$stored" "${ids[$i]}	" "store listing names ${places[$i]}"; done
cli startup restore "${ids[@]}" >/dev/null || fail "startup restore of every place"
for i in "${!places[@]}"; do
  [ "$(value_line "${places[$i]}")" = "${before[$i]}" ] ||
    fail "${places[$i]}: restored [$(value_line "${places[$i]}")], expected [${before[$i]}]"
  [ -z "$(value_line "${stores[$i]}")" ] || fail "${stores[$i]}: still stored after restore"
done

# Uninstall entries of the user and of the 32-bit view, beside the machine's of the same name.
user_uninstall='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall'
places=("$user_uninstall")
ids=("$hkcu\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\$name")
stores=('HKCU\Software\Tarnwick\AddRemoveProgram')
if [ "$view" = /reg:64 ]; then
  places+=('HKLM\Software\Wow6432Node\Microsoft\Windows\CurrentVersion\Uninstall')
  ids+=("$hklm\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\$name")
  stores+=('HKLM\Software\Tarnwick\AddRemoveProgram32')
fi
dump() {  # parent: the entry's keys and values below it, its own path left out
  reg query "$1\\$name" /s | sed "s/^.*\\\\$name/KEY/"
}
before=()
for i in "${!places[@]}"; do
  reg add "${places[$i]}\\$name" /v DisplayName /d "Tarnwick E2E $i" /f >/dev/null
  reg add "${places[$i]}\\$name" /v UninstallString /t REG_EXPAND_SZ /d "%ProgramFiles%\\e2e$i\\un.exe /x" /f >/dev/null
  reg add "${places[$i]}\\$name\\Details" /v Size /t REG_DWORD /d $((40 + i)) /f >/dev/null
  before+=("$(dump "${places[$i]}")")
done
machine_entry=$(dump "$uninstall")
listing=$(cli programs list)
for i in "${!places[@]}"; do expect_in "$listing" "${ids[$i]}	Tarnwick E2E $i	" "programs list names ${places[$i]}"; done
if out=$(cli programs remove $name 2>&1); then fail "a name that three places share was taken as one"; fi
expect_in "$out" "names more than one uninstall entry" "programs remove of a shared name says why"
cli programs remove "${ids[@]}" >/dev/null || fail "programs remove of every place"
for i in "${!places[@]}"; do
  expect_not_in "$(reg query "${places[$i]}\\$name" /s)" DisplayName "${places[$i]}: entry gone"
  [ "$(dump "${stores[$i]}")" = "${before[$i]}" ] || fail "${stores[$i]}: stored entry differs"
done
[ "$(dump "$uninstall")" = "$machine_entry" ] || fail "the machine's namesake changed"
cli programs restore "${ids[@]}" >/dev/null || fail "programs restore of every place"
for i in "${!places[@]}"; do
  after=$(dump "${places[$i]}")
  [ "$after" = "${before[$i]}" ] || fail "${places[$i]}: restored entry differs:"$'\n'"${before[$i]}"$'\n---\n'"$after"
  expect_not_in "$(reg query "${stores[$i]}\\$name" /s)" DisplayName "${stores[$i]}: emptied"
done

# ---- version details agree with exiftool on Wine's own files (ones whose first resource
# language is US English: exiftool reads the first one, Windows the user's language)
case "$(basename "$build_dir")" in
  win32) [ -d "$WINEPREFIX/drive_c/windows/syswow64" ] && sysdir=syswow64 || sysdir=system32 ;;
  *) sysdir=system32 ;;
esac
for file in shell32.dll comctl32.dll user32.dll version.dll winver.exe; do
  host="$WINEPREFIX/drive_c/windows/$sysdir/$file"
  json=$(cli version "C:\\windows\\system32\\$file" --json) || { fail "version $file"; continue; }
  exif=$(exiftool -j -CompanyName -FileDescription -ProductName -FileVersion -ProductVersion -FileVersionNumber \
         -LanguageCode "$host")
  python3 - "$file" "$json" "$exif" <<'PY' || failures=$((failures + 1))
import json, sys
name, ours, theirs = sys.argv[1], json.loads(sys.argv[2]), json.loads(sys.argv[3])[0]
pairs = [("companyName", "CompanyName"), ("fileDescription", "FileDescription"), ("productName", "ProductName"),
         ("fileVersion", "FileVersion"), ("productVersion", "ProductVersion"),
         ("formattedFileVersion", "FileVersionNumber")]
bad = [(o, ours.get(o), str(theirs.get(t, ""))) for o, t in pairs if str(ours.get(o)) != str(theirs.get(t, ""))]
for o, a, b in bad:
    print(f"FAIL: version {name}: {o} is {a!r}, exiftool says {b!r}")
if theirs.get("LanguageCode") != "English (U.S.)":
    print(f"FAIL: version {name}: exiftool read the {theirs.get('LanguageCode')} resource; choose another file")
    bad.append(1)
if not ours.get("companyName"):
    print(f"FAIL: version {name}: no company name")
    bad.append(1)
sys.exit(1 if bad else 0)
PY
done

if [ "$failures" -ne 0 ]; then
  echo "$failures failure(s)"
  exit 1
fi
echo "managers end to end: all passed"

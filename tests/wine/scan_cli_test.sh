#!/usr/bin/env bash
# tarnwick-cli scan --json against a registry seeded by another program (Wine's reg.exe) and a
# shortcut made by the shell: exactly the broken entries are printed, with their exact
# section texts, key paths, values, delete types and descriptions, and the activity log
# records them.
set -euo pipefail
. "$(dirname "${BASH_SOURCE[0]}")/e2e_env.sh" "$@"  # cli_dir, build_dir, tools, work, drive, view (reg.exe's view of the build), cli
cleanup() {
  rm -rf "$work" "$drive/tarnwick-scan-cli" "$drive/tarnwick-fixture"
  unseed
  return 0
}
trap cleanup EXIT

mkdir -p "$drive/tarnwick-scan-cli" "$drive/tarnwick-fixture/links" "$drive/tarnwick/tmp"
touch "$drive/tarnwick-scan-cli/there.exe" "$drive/tarnwick-scan-cli/there.wav" "$drive/tarnwick-fixture/target.txt"
cp "$here/../fixtures/shortcuts/gone.lnk" "$here/../fixtures/shortcuts/target.lnk" "$drive/tarnwick-fixture/links/"

D='C:\\tarnwick-scan-cli'
CR='HKEY_CLASSES_ROOT'
LM='HKEY_LOCAL_MACHINE'
CU='HKEY_CURRENT_USER'
APP="$LM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths"
SVC="$LM\\SYSTEM\\CurrentControlSet\\Services"
RUN="$LM\\Software\\Microsoft\\Windows\\Currentversion\\Run"
SND="$CU\\AppEvents\\Schemes\\Apps\\.Default"
UNI="$LM\\Software\\Microsoft\\Windows\\Currentversion\\Uninstall"
{
  printf 'REGEDIT4\r\n\r\n'
  printf '[%s\\.twcli1]\r\n\r\n' "$CR"
  printf '[%s\\.twcli2]\r\n@="twcli2file"\r\n\r\n' "$CR"
  printf '[%s\\.twcli3]\r\n@="twcli3file"\r\n\r\n' "$CR"
  printf '[%s\\twcli3file\\shell\\open\\command]\r\n@="\\"%s\\\\gone.exe\\" \\"%%1\\""\r\n\r\n' "$CR" "$D"
  printf '[%s\\TwCliGone.exe]\r\n@="%s\\\\gone.exe"\r\n\r\n' "$APP" "$D"
  printf '[%s\\TwCliThere.exe]\r\n@="%s\\\\there.exe"\r\n\r\n' "$APP" "$D"
  printf '[%s\\TwCliGone]\r\n"ImagePath"="%s\\\\gonesvc.exe -k x"\r\n\r\n' "$SVC" "$D"
  printf '[%s\\TwCliBare]\r\n"ImagePath"="winhlp32.exe"\r\n\r\n' "$SVC"
  printf '[%s]\r\n"TwCliGone"="\\"%s\\\\gonerun.exe\\" /s"\r\n"TwCliThere"="%s\\\\there.exe -x"\r\n\r\n' "$RUN" "$D" "$D"
  printf '[%s\\TwCliEvent\\.Current]\r\n@="%s\\\\gone.wav"\r\n\r\n' "$SND" "$D"
  printf '[%s\\TwCliEvent2\\.Current]\r\n@="%s\\\\there.wav"\r\n\r\n' "$SND" "$D"
  printf '[%s\\TwCliGone]\r\n"UninstallString"="%s\\\\uninst.exe /S"\r\n\r\n' "$UNI" "$D"
} > "$drive/tarnwick/tmp/seed.reg"
# reg import does not delete keys in the view it is given: each is deleted by name.
unseed() {
  local k
  for k in "$CR\\.twcli1" "$CR\\.twcli2" "$CR\\.twcli3" "$CR\\twcli3file" "$APP\\TwCliGone.exe" \
           "$APP\\TwCliThere.exe" "$SVC\\TwCliGone" "$SVC\\TwCliBare" "$SND\\TwCliEvent" \
           "$SND\\TwCliEvent2" "$UNI\\TwCliGone"; do
    wine reg delete "$k" /f $view >/dev/null 2>&1 || true
  done
  wine reg delete "$RUN" /v TwCliGone /f $view >/dev/null 2>&1 || true
  wine reg delete "$RUN" /v TwCliThere /f $view >/dev/null 2>&1 || true
  return 0
}
unseed
wine reg import 'C:\tarnwick\tmp\seed.reg' $view >/dev/null 2>&1

"$tools/wine-run.sh" "$cli_dir/tarnwick-cli.exe" scan FileAssociations applicationpaths SYSTEMSERVICES StartupPrograms \
  Sounds AddRemovePrograms Shortcuts --json > "$work/out.json" 2> "$work/progress.txt"
grep -i -e twcli -e tarnwick-scan-cli -e tarnwick-fixture "$work/out.json" > "$work/ours.json" || true

cat > "$work/expected.json" <<'JSON'
{"section":"File Associations","keyPath":"HKEY_CLASSES_ROOT\\.twcli1","valueName":"(Default)","valueText":"(value not set)","valueType":1,"deleteType":"KEY","description":"(value not set)","reason":"The extension names no program, and nothing else is registered for it."}
{"section":"File Associations","keyPath":"HKEY_CLASSES_ROOT\\.twcli2","valueName":"(Default)","valueText":"twcli2file","valueType":1,"deleteType":"KEY","description":"twcli2file","reason":"The program identifier twcli2file named here is not registered."}
{"section":"File Associations","keyPath":"HKEY_CLASSES_ROOT\\.twcli3","valueName":"(Default)","valueText":"\"C:\\tarnwick-scan-cli\\gone.exe\" \"%1\"","valueType":1,"deleteType":"KEY","description":"twcli3file","reason":"The command that opens these files names C:\\tarnwick-scan-cli\\gone.exe, which does not exist."}
{"section":"Application Paths","keyPath":"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\twcligone.exe","valueName":"(Default)","valueText":"C:\\tarnwick-scan-cli\\gone.exe","valueType":1,"deleteType":"KEY","description":"C:\\tarnwick-scan-cli\\gone.exe","reason":"The program C:\\tarnwick-scan-cli\\gone.exe does not exist."}
{"section":"System Services","keyPath":"HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\TwCliGone","valueName":"ImagePath","valueText":"C:\\tarnwick-scan-cli\\gonesvc.exe -k x","valueType":1,"deleteType":"KEY","description":"C:\\tarnwick-scan-cli\\gonesvc.exe","reason":"The service's file C:\\tarnwick-scan-cli\\gonesvc.exe does not exist."}
{"section":"Startup Programs","keyPath":"HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\Currentversion\\Run","valueName":"TwCliGone","valueText":"\"C:\\tarnwick-scan-cli\\gonerun.exe\" /s","valueType":1,"deleteType":"VAL","description":"C:\\tarnwick-scan-cli\\gonerun.exe","reason":"The program C:\\tarnwick-scan-cli\\gonerun.exe started at log-on does not exist."}
{"section":"Sound Section","keyPath":"HKEY_CURRENT_USER\\AppEvents\\Schemes\\Apps\\.Default\\TwCliEvent","valueName":"(Default)","valueText":"C:\\tarnwick-scan-cli\\gone.wav","valueType":1,"deleteType":"KEY","description":"C:\\tarnwick-scan-cli\\gone.wav","reason":"The sound file C:\\tarnwick-scan-cli\\gone.wav does not exist."}
{"section":"Add/Remove Program Section","keyPath":"HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\Currentversion\\Uninstall\\twcligone","valueName":"UninstallString","valueText":"C:\\tarnwick-scan-cli\\uninst.exe /S","valueType":1,"deleteType":"VAL","description":"C:\\tarnwick-scan-cli\\uninst.exe","reason":"The uninstaller C:\\tarnwick-scan-cli\\uninst.exe does not exist."}
{"section":"Windows Shortcuts","path":"C:\\tarnwick-fixture\\links\\gone.lnk","reason":"The shortcut's target C:\\tarnwick-fixture\\gone.txt does not exist."}
JSON
set +e
status=0 passed=0 failed=0
check() { if [ "$1" = 0 ]; then passed=$((passed + 1)); else echo "FAIL: $2"; failed=$((failed + 1)); status=1; fi; }

diff -u "$work/expected.json" "$work/ours.json"; check $? "exactly the seeded problems, in run order"
rows=$(grep -c $'\tFinished' "$work/progress.txt")
[ "$rows" = 7 ]; check $? "one finished progress row per named section (got $rows)"
# Standard error is a file here: its progress is rows as before (text mode ends them in CR LF),
# nothing rewritten in place.
! grep -q $'\r.' "$work/progress.txt"; check $? "no progress line rewritten in place when standard error is redirected"
log=$(ls -t "$drive"/tarnwick/*/Log/log_*.twlog 2>/dev/null | head -1)
grep -q $'\tFOUND ERROR KEY: HKEY_CLASSES_ROOT\\\\.twcli1\r$' "$log" 2>/dev/null; check $? "the activity log records the problems"

"$tools/wine-run.sh" "$cli_dir/tarnwick-cli.exe" scan NoSuchSection > /dev/null 2>&1
code=$?
[ "$code" = 2 ]; check $? "an unknown section is a usage error (got $code)"

echo "cli scan: $passed passed, $failed failed"
exit $status

#!/usr/bin/env bash
# tarnwick-cli ignore under Wine: add, list and remove entries of the user's ignore list
# (names with backslashes, an empty value name, a key in another script), what the registry
# holds after each, the exit status of a missing entry and a bad path, and a scan that leaves
# the ignored findings out and says how many it left out (text and --json), then reports one
# again once it is off the list.
set -euo pipefail
. "$(dirname "${BASH_SOURCE[0]}")/e2e_env.sh" "$@"
LIST='HKEY_CURRENT_USER\Software\Tarnwick\Ignored'
cleanup() {
  rm -rf "$work"
  [ -f "$drive/tarnwick/tmp/ignore-unseed.reg" ] && wine reg import 'C:\tarnwick\tmp\ignore-unseed.reg' $view >/dev/null 2>&1
  wine reg delete "$LIST" /f >/dev/null 2>&1 || true
  return 0
}
trap cleanup EXIT
mkdir -p "$drive/tarnwick/tmp"
wine reg delete "$LIST" /f >/dev/null 2>&1 || true

APP='HKEY_LOCAL_MACHINE\SOFTWARE\Microsoft\Windows\CurrentVersion\App Paths'
RUN='HKEY_LOCAL_MACHINE\Software\Microsoft\Windows\Currentversion\Run'
{
  printf 'REGEDIT4\r\n\r\n'
  printf '[%s\\TwIgnoreGone.exe]\r\n@="C:\\\\tarnwick-ignore-gone\\\\gone.exe"\r\n\r\n' "$APP"
  printf '[%s\\TwIgnoreKept.exe]\r\n@="C:\\\\tarnwick-ignore-gone\\\\kept.exe"\r\n\r\n' "$APP"
  printf '[%s]\r\n"TwIgnoreRun"="C:\\\\tarnwick-ignore-gone\\\\run.exe"\r\n"TwIgnoreRun2"="C:\\\\tarnwick-ignore-gone\\\\run2.exe"\r\n\r\n' "$RUN"
} > "$drive/tarnwick/tmp/ignore-seed.reg"
{
  printf 'REGEDIT4\r\n\r\n[-%s\\TwIgnoreGone.exe]\r\n\r\n[-%s\\TwIgnoreKept.exe]\r\n\r\n' "$APP" "$APP"
  printf '[%s]\r\n"TwIgnoreRun"=-\r\n"TwIgnoreRun2"=-\r\n\r\n' "$RUN"
} > "$drive/tarnwick/tmp/ignore-unseed.reg"
wine reg import 'C:\tarnwick\tmp\ignore-unseed.reg' $view >/dev/null 2>&1 || true
wine reg import 'C:\tarnwick\tmp\ignore-seed.reg' $view >/dev/null 2>&1

status=0 passed=0 failed=0
check() { if [ "$1" = ok ]; then passed=$((passed + 1)); else echo "FAIL: $2"; failed=$((failed + 1)); status=1; fi; }
run() { local rc=0; cli "$@" > "$work/out.txt" 2> "$work/err.txt" || rc=$?; echo $rc; }

# add: a key, a value whose name holds backslashes, an empty value name, a key in Cyrillic
[ "$(run ignore add "$APP\\TwIgnoreKept.exe")" = 0 ] && check ok || check no "add a key: $(cat "$work/err.txt")"
[ "$(cat "$work/out.txt")" = "added $APP\\TwIgnoreKept.exe" ] && check ok || check no "add says $(cat "$work/out.txt")"
[ "$(run ignore add "$RUN" TwIgnoreRun2)" = 0 ] && check ok || check no "add a value"
[ "$(run ignore add 'HKEY_CURRENT_USER\Software\Программа' 'a\b\c')" = 0 ] && check ok || check no "add a name with backslashes"
[ "$(run ignore add 'HKEY_CLASSES_ROOT\.twignore' '')" = 0 ] && check ok || check no "add an empty value name"
[ "$(run ignore add "$RUN" twignorerun2)" = 0 ] && check ok || check no "adding again is no error"
grep -q '^already listed' "$work/out.txt" && check ok || check no "adding again says already listed"

run ignore list >/dev/null
printf '%s\n' "$APP\\TwIgnoreKept.exe" "$RUN	TwIgnoreRun2" 'HKEY_CURRENT_USER\Software\Программа	a\b\c' 'HKEY_CLASSES_ROOT\.twignore	' > "$work/expected.txt"
diff -u "$work/expected.txt" "$work/out.txt" && check ok || check no "list shows every entry once, exactly"
run ignore list --json >/dev/null
grep -qx '{"keyPath":"HKEY_CURRENT_USER\\\\Software\\\\Программа","deleteType":"VAL","valueName":"a\\\\b\\\\c"}' "$work/out.txt" \
  && check ok || check no "list --json: $(cat "$work/out.txt")"
# What the registry holds: one subkey per entry, the path and the name as data.
wine reg query "$LIST" /s > "$work/query.txt" 2>&1 || true
[ "$(grep -c 'Key    REG_SZ' "$work/query.txt")" = 4 ] && check ok || check no "four entries in the registry: $(cat "$work/query.txt")"

# remove: a missing entry and a bad path fail with a message
[ "$(run ignore remove "$RUN" NotThere)" = 1 ] && check ok || check no "removing a missing entry fails"
grep -q 'not on the ignore list' "$work/err.txt" && check ok || check no "and says so: $(cat "$work/err.txt")"
[ "$(run ignore add 'NOWHERE\Key')" = 2 ] && check ok || check no "a bad path is a usage error"
grep -q 'is not a full key path' "$work/err.txt" && check ok || check no "and says why"
[ "$(run ignore remove 'HKEY_CURRENT_USER\Software\Программа' 'a\b\c')" = 0 ] && check ok || check no "remove an entry"
run ignore list >/dev/null
grep -q 'Программа' "$work/out.txt" && check no "the removed entry is gone from the list" || check ok

# A scan leaves the two ignored findings out and says how many.
cli scan ApplicationPaths StartupPrograms > "$work/scan.txt" 2> "$work/scan.err"
grep -qi 'TwIgnoreGone.exe' "$work/scan.txt" && check ok || check no "the finding not ignored is reported"
grep -q 'TwIgnoreRun	' "$work/scan.txt" && check ok || check no "the Run value not ignored is reported"
grep -qi -e 'TwIgnoreKept' -e 'TwIgnoreRun2' "$work/scan.txt" && check no "ignored findings are left out" || check ok
[ "$(tail -n 1 "$work/scan.txt")" = "2 ignored problems were left out." ] && check ok || check no "the scan says how many: $(tail -n 1 "$work/scan.txt")"
cli scan ApplicationPaths StartupPrograms --json > "$work/scan.json" 2>/dev/null
[ "$(tail -n 1 "$work/scan.json")" = '{"ignored":2}' ] && check ok || check no "--json says how many: $(tail -n 1 "$work/scan.json")"

# Off the list, reported again.
[ "$(run ignore remove "$RUN" TwIgnoreRun2)" = 0 ] && check ok || check no "remove the Run entry"
cli scan StartupPrograms > "$work/scan2.txt" 2>/dev/null
grep -q 'TwIgnoreRun2' "$work/scan2.txt" && check ok || check no "an entry taken off is reported again"

echo "cli ignore: $passed passed, $failed failed"
exit $status

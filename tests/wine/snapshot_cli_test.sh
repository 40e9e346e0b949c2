#!/usr/bin/env bash
# End to end under Wine: tarnwick-cli snapshot write gives the demo key as exact bytes (the
# key made by Wine's own reg.exe), and snapshot restore brings the deleted branch back with
# its data, as reg.exe then reads it. Arguments: the cli's folder, the build folder.
set -uo pipefail
cli_dir=$1
build_dir=$2
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/../.." && pwd)
export TARNWICK_BUILD_DIR=$build_dir
export WINEPREFIX="$build_dir/wineprefix" WINEDEBUG=-all LC_ALL=en_US.UTF-8 LANG=en_US.UTF-8
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
"$root/tools/wine-prefix.sh" "$WINEPREFIX"

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
cli() { "$root/tools/wine-run.sh" "$cli_dir/tarnwick-cli.exe" "$@"; }
reg() { wine reg "$@" 2>&1 | tr -d '\r'; }

work="$WINEPREFIX/drive_c/tarnwick/snapshot-test"
rm -rf "$work"
mkdir -p "$work"
trap 'reg delete "HKCU\\Software\\Demo" /f >/dev/null; rm -rf "$work"' EXIT

# The key is made by importing a .reg file: Wine's "reg add" would give Sub an empty
# unnamed value.
reg delete 'HKCU\Software\Demo' /f >/dev/null
printf '%s\r\n' 'REGEDIT4' '' '[HKEY_CURRENT_USER\Software\Demo]' '@="hello"' '"Count"=dword:00000003' '' \
  '[HKEY_CURRENT_USER\Software\Demo\Sub]' '' >"$work/seed.reg"
reg import 'C:\tarnwick\snapshot-test\seed.reg' >/dev/null

# --- write: the demo branch, byte for byte
cli snapshot write 'C:\tarnwick\snapshot-test\demo.xml' 'HKEY_CURRENT_USER\Software\Demo' >"$work/out" 2>"$work/err" ||
  fail "snapshot write exited $? ($(cat "$work/err"))"
# Standard error is a file: nothing is shown there while the snapshot is written.
[ -s "$work/err" ] && fail "snapshot write wrote to a redirected standard error: $(cat -A "$work/err" | head -3)"
printf '%s\r\n' \
  '<?xml version="1.0" encoding="UTF-8"?>' \
  ' <registry>' \
  '  <k name="HKEY_CURRENT_USER">' \
  '   <k name="Software">' \
  '    <k name="Demo">' \
  '     <v name="(Default)" value="hello"/>' \
  '     <v name="Count" value="0x00000003 (3)" type="REG_DWORD"/>' \
  '     <k name="Sub"/>' \
  '    </k>' \
  '   </k>' \
  '  </k>' \
  ' </registry>' >"$work/expected.xml"
if ! cmp -s "$work/expected.xml" "$work/demo.xml"; then
  fail "the demo snapshot differs from the expected bytes"
  diff <(od -c "$work/expected.xml") <(od -c "$work/demo.xml") | head -20
fi
xmllint --noout "$work/demo.xml" || fail "xmllint finds the demo snapshot malformed"

# --- restore: the deleted branch comes back with its data
reg delete 'HKCU\Software\Demo' /f >/dev/null
cli snapshot restore 'C:\tarnwick\snapshot-test\demo.xml' >"$work/out" 2>"$work/err" ||
  fail "snapshot restore exited $? ($(cat "$work/err"))"
[ -s "$work/err" ] && fail "snapshot restore wrote to a redirected standard error: $(cat -A "$work/err" | head -3)"
query=$(reg query 'HKCU\Software\Demo' /s)
grep -Eq 'Count +REG_DWORD +0x3' <<<"$query" || fail "Count was not restored: $query"
grep -Eq '\(Default\) +REG_SZ +hello' <<<"$query" || fail "the unnamed value was not restored: $query"
grep -q 'HKEY_CURRENT_USER\\Software\\Demo\\Sub' <<<"$query" || fail "Sub was not restored: $query"

# --- a parse error is reported with the reader's text and fails the command
printf '<registry>\r\n<k <k>\r\n' >"$work/bad.xml"
cli snapshot restore 'C:\tarnwick\snapshot-test\bad.xml' >"$work/out" 2>"$work/err"
status=$?
[ "$status" = 1 ] || fail "a parse error exited $status"
grep -q "Parse error in line 2 : (Bad '<' symbol)" "$work/err" || fail "parse error text: $(cat "$work/err")"

# --- a key element without a name stops the restore at its line: nothing lands one level up
reg delete 'HKCU\Software\Demo' /f >/dev/null
printf '%s\r\n' '<?xml version="1.0" encoding="UTF-8"?>' ' <registry>' \
  '  <k name="HKEY_CURRENT_USER"><k name="Software"><k name="Demo">' \
  '   <k name="A"><v name="early" value="1"/>' \
  '    <k><v name="inner" value="2"/></k>' \
  '    <v name="late" value="3"/></k>' \
  '   <v name="after" value="4"/>' \
  '  </k></k></k>' ' </registry>' >"$work/nameless.xml"
cli snapshot restore 'C:\tarnwick\snapshot-test\nameless.xml' >"$work/out" 2>"$work/err"
status=$?
[ "$status" = 1 ] || fail "a key without a name exited $status"
grep -q 'line 5: a key element without a name; nothing after it was restored' "$work/err" ||
  fail "nameless key text: $(cat "$work/err")"
query=$(reg query 'HKCU\Software\Demo' /s)
grep -Eq 'early +REG_SZ +1' <<<"$query" || fail "what came before the nameless key was not kept: $query"
grep -Eq 'late|after|inner' <<<"$query" && fail "values after the nameless key were written: $query"

if [ "$failures" != 0 ]; then
  echo "$failures check(s) failed"
  exit 1
fi
echo "snapshot cli: all checks passed"

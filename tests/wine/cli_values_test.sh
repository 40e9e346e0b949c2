#!/usr/bin/env bash
# tarnwick-cli values against values another program (Wine's reg.exe) wrote into the real
# registry: every type, the unnamed value, a key without values.
set -euo pipefail
cli_dir=$1; build_dir=$2
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
tools=$(cd "$here/../../tools" && pwd)
export TARNWICK_BUILD_DIR=$build_dir WINEPREFIX=$build_dir/wineprefix WINEDEBUG=-all
"$tools/wine-prefix.sh" "$WINEPREFIX"
work=$(mktemp -d); trap 'rm -rf "$work"' EXIT
key='HKEY_CURRENT_USER\Software\TarnwickCliValues'

# REGEDIT4 files are in the ANSI code page: \xe9 is e acute in code page 1252.
printf 'REGEDIT4\r\n\r\n[-%s]\r\n\r\n[%s]\r\n@="caf\xe9"\r\n"Sz"="C:\\\\Program Files\\\\x.exe"\r\n"Expand"=hex(2):25,53,79,73,74,65,6d,52,6f,6f,74,25,00\r\n"Binary"=hex:01,ab,ff\r\n"EmptyBinary"=hex:\r\n"Dword"=dword:0000000a\r\n"MinusOne"=dword:ffffffff\r\n"BigEndian"=hex(5):00,00,01,00\r\n"Link"=hex(6):61,00,62,00,00,00\r\n"Multi"=hex(7):61,00,62,00,00\r\n"ResList"=hex(8):10,20\r\n"FullRes"=hex(9):68,69,00\r\n"ReqList"=hex(a):0a\r\n"Qword"=hex(b):01,02,03,04,05,06,07,08\r\n"None"=hex(0):6e,6f,00\r\n\r\n[%s\\Empty]\r\n\r\n' \
  "$key" "$key" "$key" > "$work/seed.reg"
mkdir -p "$WINEPREFIX/drive_c/tarnwick/tmp"
cp "$work/seed.reg" "$WINEPREFIX/drive_c/tarnwick/tmp/seed.reg"
wine reg import 'C:\tarnwick\tmp\seed.reg' >/dev/null 2>&1

"$tools/wine-run.sh" "$cli_dir/tarnwick-cli.exe" values "$key" --json > "$work/out.json"
cat > "$work/expected.json" <<'JSON'
{"name":"(Default)","type":1,"typeName":"REG_SZ","text":"café"}
{"name":"BigEndian","type":5,"typeName":"REG_DWORD","text":"0x00000100 (256)"}
{"name":"Binary","type":3,"typeName":"REG_BINARY","text":"01 ab ff"}
{"name":"Dword","type":4,"typeName":"REG_DWORD","text":"0x0000000a (10)"}
{"name":"EmptyBinary","type":3,"typeName":"REG_BINARY","text":""}
{"name":"Expand","type":2,"typeName":"REG_EXPAND_SZ","text":"%SystemRoot%"}
{"name":"FullRes","type":9,"typeName":"","text":"hi"}
{"name":"Link","type":6,"typeName":"REG_SZ","text":"ab"}
{"name":"MinusOne","type":4,"typeName":"REG_DWORD","text":"0xffffffff (-1)"}
{"name":"Multi","type":7,"typeName":"REG_MULTI_SZ","text":"a\r\nb"}
{"name":"None","type":0,"typeName":"REG_SZ","text":"no"}
{"name":"Qword","type":11,"typeName":"REG_QWORD","text":"0x0807060504030201"}
{"name":"ReqList","type":10,"typeName":"REG_RESOURCE_REQUIREMENTS_LIST","text":"0a"}
{"name":"ResList","type":8,"typeName":"REG_RESOURCE_LIST","text":"10 20"}
{"name":"Sz","type":1,"typeName":"REG_SZ","text":"C:\\Program Files\\x.exe"}
JSON
status=0
if ! diff -u "$work/expected.json" "$work/out.json"; then
  echo "FAIL: values of every type"; status=1
fi

"$tools/wine-run.sh" "$cli_dir/tarnwick-cli.exe" values "$key\\Empty" > "$work/empty.txt"
if [ "$(cat "$work/empty.txt")" != "$(printf '(Default)\tREG_SZ (1)\t(value not set)')" ]; then
  echo "FAIL: key without values"; cat "$work/empty.txt"; status=1
fi

set +e
"$tools/wine-run.sh" "$cli_dir/tarnwick-cli.exe" values "$key\\Missing" > "$work/missing.txt" 2> "$work/missing.err"
code=$?
set -e
if [ "$code" != 1 ] || ! grep -q 'cannot open' "$work/missing.err"; then
  echo "FAIL: a missing key gives status 1 (got $code)"; status=1
fi

wine reg delete "$key" /f >/dev/null 2>&1 || true
[ $status = 0 ] && echo "cli values: 3 passed, 0 failed"
exit $status

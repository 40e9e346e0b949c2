#!/usr/bin/env bash
# End to end under Wine: a branch holding every value type 0..11, one without a name, and
# values of the shapes a text form would change (strings with bytes after their terminator,
# without one, of an odd size, REG_NONE with data, empty binary data, numbers of another size)
# goes through tarnwick-cli snapshot write, is deleted and comes back through snapshot restore
# byte for byte and type for type: reg export before and after are the same file, and so are
# the listings of the values as the registry keeps them. Arguments: the cli's folder, the
# build folder.
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
fixture() { "$root/tools/wine-run.sh" "$build_dir/tests/value_fixture.exe" "$@"; }
reg() { wine reg "$@" 2>&1 | tr -d '\r'; }

branch='Software\TarnwickExact'
work="$WINEPREFIX/drive_c/tarnwick/exact-values-test"
rm -rf "$work"
mkdir -p "$work"
trap 'reg delete "HKCU\\Software\\TarnwickExact" /f >/dev/null; rm -rf "$work"' EXIT
reg delete "HKCU\\$branch" /f >/dev/null

# Name, type (hex) and bytes (hex, "-" for none) of each value, in name order.
fixture set "$branch" \
  a00_none 0 610000006200 \
  a01_none_empty 0 - \
  a02_sz 1 70006c00e9000000 \
  a03_sz_tail 1 610000007a000000 \
  a04_sz_odd 1 6100620000003a \
  a05_sz_unended 1 61006200 \
  a06_sz_empty 1 - \
  a07_sz_outside 1 180478000000 \
  a08_sz_line_feed 1 61000a0062000000 \
  a09_expand 2 2500780025000000 \
  a10_expand_odd 2 2500780025 \
  a11_binary 3 000102 \
  a12_binary_empty 3 - \
  a13_dword 4 01020304 \
  a14_dword_short 4 010203 \
  a15_big_endian 5 12345678 \
  a16_link 6 78007900 \
  a17_multi 7 61000000620000000000 \
  a18_multi_tail 7 6100000000007100 \
  a19_multi_odd 7 61000000000001 \
  a20_resource_list 8 0102 \
  a21_resource_list_empty 8 - \
  a22_full_resource 9 01000000ff20 \
  a23_requirements a 0a0b0c \
  a24_qword b 0102030405060708 \
  a25_qword_long b 010203040506070809 \
  a26_unknown 4711 05 >"$work/out" 2>&1 || fail "the fixture could not write the values: $(cat "$work/out")"
fixture set "$branch\\Sub" @ 1 - >"$work/out" 2>&1 || fail "the fixture could not write Sub: $(cat "$work/out")"
fixture set "$branch\\Sub\\Deeper" @ 0 0200 x 9 - >"$work/out" 2>&1 ||
  fail "the fixture could not write Deeper: $(cat "$work/out")"

export_branch() {
  rm -f "$work/$1.reg"
  reg export "HKCU\\$branch" "C:\\tarnwick\\exact-values-test\\$1.reg" /y >/dev/null
  [ -s "$work/$1.reg" ] || fail "reg export made no $1.reg"
  fixture dump "$branch" >"$work/$1.txt" 2>&1 || fail "the fixture could not list the branch ($1)"
}
export_branch before
grep -q 'a04_sz_odd 1: 61 00 62 00 00 00 3a' "$work/before.txt" ||
  fail "the fixture did not write an odd string as given: $(cat "$work/before.txt")"

cli snapshot write 'C:\tarnwick\exact-values-test\exact.xml' "HKEY_CURRENT_USER\\$branch" >"$work/out" 2>"$work/err" ||
  fail "snapshot write exited $? ($(cat "$work/err"))"
xmllint --noout "$work/exact.xml" || fail "xmllint finds the snapshot malformed"
# Ordinary values as text, the others by their bytes.
for line in '<v name="a02_sz" value="pl\xc3\xa9"/>' \
            '<v name="a13_dword" value="0x04030201 (67305985)" type="REG_DWORD"/>' \
            '<v name="a17_multi" value="a\r\nb" type="REG_MULTI_SZ"/>' \
            '<v name="a00_none" data="hex(0):61 00 00 00 62 00"/>' \
            '<v name="a04_sz_odd" data="hex(1):61 00 62 00 00 00 3a"/>' \
            '<v name="a15_big_endian" data="hex(5):12 34 56 78"/>' \
            '<v name="a22_full_resource" data="hex(9):01 00 00 00 ff 20"/>' \
            '<v name="a26_unknown" data="hex(4711):05"/>' \
            '<v name="(Default)" data="hex(1):"/>'; do
  expected=$(printf "$line")
  grep -qF -- "$expected" "$work/exact.xml" || fail "the snapshot lacks: $line"
done

reg delete "HKCU\\$branch" /f >/dev/null
cli snapshot restore 'C:\tarnwick\exact-values-test\exact.xml' >"$work/out" 2>"$work/err" ||
  fail "snapshot restore exited $? ($(cat "$work/err"))"
export_branch after

if ! cmp -s "$work/before.reg" "$work/after.reg"; then
  fail "reg export differs after the restore"
  diff <(iconv -f UTF-16LE -t UTF-8 "$work/before.reg") <(iconv -f UTF-16LE -t UTF-8 "$work/after.reg") | head -20
fi
if ! cmp -s "$work/before.txt" "$work/after.txt"; then
  fail "the values as the registry keeps them differ after the restore"
  diff "$work/before.txt" "$work/after.txt" | head -20
fi

if [ "$failures" != 0 ]; then
  echo "$failures check(s) failed"
  exit 1
fi
echo "exact values: all checks passed"

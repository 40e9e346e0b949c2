#!/usr/bin/env bash
# tools/check-layers.sh on a made-up tree: an include down the layer order passes, one up it
# or into a folder the order does not name fails and is named.
set -uo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
script="$here/../../tools/check-layers.sh"
work=$(mktemp -d); trap 'rm -rf "$work"' EXIT
passed=0 failed=0
check() { if [ "$1" = ok ]; then passed=$((passed + 1)); else echo "FAIL: $2"; failed=$((failed + 1)); fi; }

mkdir -p "$work/src/base" "$work/src/mid" "$work/src/top"
echo 'Layers, bottom first: base < mid < top' > "$work/HACKING.md"
printf '#include "base/a.h"\n' > "$work/src/mid/m.cpp"
printf '#include "mid/m.h"\n#include "top/t.h"\n' > "$work/src/top/t.cpp"
out=$(bash "$script" "$work" 2>&1); code=$?
[ $code = 0 ] && check ok || check no "includes down the order pass (got $code: $out)"
grep -q '^down   src/top/t.cpp:1: top -> mid$' <<<"$out" && check ok || check no "each include is printed"

printf '#include "top/t.h"\n' > "$work/src/base/b.cpp"
out=$(bash "$script" "$work" 2>&1); code=$?
[ $code = 1 ] && grep -q '^UP     src/base/b.cpp:1: base -> top$' <<<"$out" && check ok || check no "an include up the order fails and is named ($out)"

rm "$work/src/base/b.cpp"; mkdir -p "$work/src/stray"
out=$(bash "$script" "$work" 2>&1); code=$?
[ $code = 1 ] && grep -q 'src/stray has no place' <<<"$out" && check ok || check no "a folder the order does not name fails"

echo 'no such line' > "$work/HACKING.md"
bash "$script" "$work" >/dev/null 2>&1; code=$?
[ $code = 2 ] && check ok || check no "HACKING.md without the order is an error (got $code)"

echo "check-layers: $passed passed, $failed failed"
[ $failed = 0 ]

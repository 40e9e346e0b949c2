#!/usr/bin/env bash
# Prints every include from one top folder of src/ into another, and fails on one that points
# up the layer order that HACKING.md gives on its line "Layers, bottom first: a < b, c < ...".
# A folder may include its own headers and those of any folder in a layer below its own.
set -euo pipefail
root=${1:-$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)}
order=$(sed -n 's/^Layers, bottom first: *//p' "$root/HACKING.md" | head -1)
[ -n "$order" ] || { echo "check-layers: HACKING.md gives no line 'Layers, bottom first: ...'" >&2; exit 2; }

declare -A level
n=0
IFS='<' read -ra groups <<< "$order"
for group in "${groups[@]}"; do
  IFS=',' read -ra folders <<< "$group"
  for folder in "${folders[@]}"; do
    folder=$(echo "$folder" | tr -d ' `.')
    [ -n "$folder" ] && level[$folder]=$n
  done
  n=$((n + 1))
done

status=0
for dir in "$root"/src/*/; do
  from=$(basename "$dir")
  if [ -z "${level[$from]+x}" ]; then
    echo "check-layers: src/$from has no place in the layer order" >&2; status=1; continue
  fi
  while IFS=: read -r file line text; do
    to=$(sed -n 's/^#include "\([a-z_0-9]*\)\/.*/\1/p' <<< "$text")
    [ -n "$to" ] && [ "$to" != "$from" ] || continue
    [ -d "$root/src/$to" ] || continue
    rel=${file#"$root"/}
    if [ -z "${level[$to]+x}" ] || [ "${level[$to]}" -ge "${level[$from]}" ]; then
      echo "UP     $rel:$line: $from -> $to"
      status=1
    else
      echo "down   $rel:$line: $from -> $to"
    fi
  done < <(grep -rn '^#include "' "$dir" --include='*.h' --include='*.cpp' || true)
done
if [ $status -ne 0 ]; then
  echo "check-layers: an include points up the layer order (HACKING.md)" >&2
else
  echo "check-layers: every include between folders points down"
fi
exit $status

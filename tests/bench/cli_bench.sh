#!/usr/bin/env bash
# The programs as a user runs them, timed under Wine in a prefix of their own:
#  - tarnwick-cli scan CompleteRegistryScan, with a generated branch of 10^5 keys in
#    HKEY_CURRENT_USER\SOFTWARE, next to reg export of the two branches that scan walks;
#  - tarnwick-cli repair ApplicationPaths of an App Paths entry whose program is gone and
#    that holds 10^4 subkeys (backup, journal and deletion), next to reg export of that key.
# Each time is of a whole process, start-up included, as for reg.exe. Prints the figures
# and "summary|" rows as the other benchmarks do.
#   cli_bench.sh BUILD_DIR     a 64-bit Windows tree (build/win64)
set -euo pipefail
tree=$(cd "$1" && pwd)
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
tools=$(cd "$here/../../tools" && pwd)
export PATH="$tools/bin:$PATH"
# A prefix of its own: a registry this size would slow every test that shares the tests'
# prefix, and it is thrown away at the end.
bench=$tree/cli-bench
export TARNWICK_BUILD_DIR=$bench WINEPREFIX=$bench/wineprefix WINEDEBUG=-all
finish() {
  wineserver -k 2>/dev/null || true
  wineserver -w 2>/dev/null || true
  rm -rf "$bench"
}
trap finish EXIT
finish
mkdir -p "$bench"
"$tools/wine-prefix.sh" "$WINEPREFIX" win64
drive=$WINEPREFIX/drive_c
run() { "$tools/wine-run.sh" "$@"; }

# Seconds a command takes, its output kept in $bench/last.out; -1 when it fails.
timed() {
  local start end
  start=$(date +%s.%N)
  if "$@" >"$bench/last.out" 2>&1; then
    end=$(date +%s.%N)
    python3 -c "print(f'{$end - $start:.2f}')"
  else
    echo -1
  fi
}
py() { python3 -c "$1"; }
best() { py "a, b = $1, $2; print(min(a, b) if a > 0 and b > 0 else max(a, b))"; }
ratio() { py "a, b = $1, $2; print(f'{a / b:.3g}' if a > 0 and b > 0 else -1)"; }
# summary|target|where|work|ratio|reference|limit|met, as SummaryRow prints it.
summary() {  # target work ratio reference op limit
  local met
  met=$(py "r, l = $3, $6; print('not measured' if r < 0 else 'met' if (r < l if '$5' == '<' else r <= l) else 'NOT met')")
  echo "summary|$1|wine|$2|$3|$4|$5 $6|$met"
}

echo "tarnwick-cli under Wine, 64-bit build, prefix $WINEPREFIX"
# Both registries are seeded first: the scan benchmark's branch, and an App Paths entry
# naming a program that is not there, holding 10^4 subkeys of values of several types
# (brought in by Wine's own reg import). The complete scan and its reference both walk it.
run "$tree/tests/scan_bench.exe" --seed | tr -d '\r'
key='HKEY_LOCAL_MACHINE\SOFTWARE\Microsoft\Windows\CurrentVersion\App Paths\TwCliBench.exe'
python3 - "$drive/seed.reg" "$key" <<'PY'
import sys
path, key = sys.argv[1], sys.argv[2]
with open(path, 'w', newline='') as out:
    out.write('REGEDIT4\r\n\r\n')
    out.write(f'[{key}]\r\n@="C:\\\\tarnwick-cli-bench\\\\gone.exe"\r\n"Path"="C:\\\\tarnwick-cli-bench"\r\n\r\n')
    for i in range(10000):
        out.write(f'[{key}\\Part{i:05d}]\r\n"Name"="Component {i} of the bench"\r\n'
                  f'"Count"=dword:{i:08x}\r\n"Blob"=hex:{",".join(f"{(i * 7 + j) % 256:02x}" for j in range(24))}\r\n'
                  f'"Where"=hex(2):25,00,54,00,45,00,4d,00,50,00,25,00,00,00\r\n\r\n')
PY
wine reg import 'C:\seed.reg' /reg:64 >/dev/null 2>&1
# The registry server saves a changed registry some seconds later, and a save of one this
# size would land in a timed command: it is let go (it saves as it ends), and one server
# then serves every timed command, so that none pays for starting it either.
wineserver -w
wineserver -p
wine reg query 'HKEY_CURRENT_USER\SOFTWARE' >/dev/null 2>&1 || true

# Two rounds each, taking turns, the better kept.
scan=-1 export_lm=-1 export_cu=-1
for round in 1 2; do
  scan=$(best "$scan" "$(timed run "$tree/src/tarnwick-cli.exe" scan CompleteRegistryScan)")
  problems=$(grep -c . "$bench/last.out" || true)
  export_lm=$(best "$export_lm" "$(timed wine reg export 'HKEY_LOCAL_MACHINE\SOFTWARE' 'C:\lm.reg' /y /reg:64)")
  export_cu=$(best "$export_cu" "$(timed wine reg export 'HKEY_CURRENT_USER\SOFTWARE' 'C:\cu.reg' /y /reg:64)")
done
exported=$(py "a, b = $export_lm, $export_cu; print(f'{a + b:.2f}' if a > 0 and b > 0 else -1)")
echo "  scan CompleteRegistryScan: $scan s ($problems lines of output)"
echo "  reg export HKLM\\SOFTWARE: $export_lm s, HKCU\\SOFTWARE: $export_cu s; together $exported s"
summary "1 scan" "tarnwick-cli scan CompleteRegistryScan" "$(ratio "$scan" "$exported")" \
  "reg export of HKLM and HKCU\\SOFTWARE" "<" 1

# The repair changes the registry: it comes last, once.
reference=$(timed wine reg export "$key" 'C:\key.reg' /y /reg:64)
repair=$(timed run "$tree/src/tarnwick-cli.exe" repair ApplicationPaths)
gone=yes
wine reg query "$key" /reg:64 >/dev/null 2>&1 && gone=no
backup=$(tr -d '\r' <"$bench/last.out" | sed -n 's/^Backup: //p')
echo "  reg export of the key: $reference s"
echo "  repair ApplicationPaths: $repair s (key deleted: $gone; backup: ${backup:-none})"
[ "$gone" = yes ] && [ -n "$backup" ] || repair=-1
summary "2 repair" "tarnwick-cli repair ApplicationPaths, 10^4 subkeys" "$(ratio "$repair" "$reference")" \
  "reg export of the key" "<=" 1.6

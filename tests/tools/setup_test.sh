#!/usr/bin/env bash
# The set-up script against a fake package system: apt-get, dpkg and dpkg-query that keep
# their state in a scratch folder and fail as each case asks. It checks what the script
# installs, what it says on its last line and how it exits.
set -uo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
setup=$root/tools/setup.sh
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
failures=0 passed=0

# Every package the script asks for, the 32-bit half last.
mapfile -t all_packages < <(sed -n '/^packages=(/,/^)/p; /^packages_32bit=(/p' "$setup" \
  | sed 's/^[a-z_0-9]*=(//; s/)$//; s/#.*//' | tr ' ' '\n' | grep -v '^$')

make_fakes() {
  local bin=$1
  mkdir -p "$bin"
  cat >"$bin/dpkg-query" <<'FAKE'
#!/usr/bin/env bash
# dpkg-query -W -f=FORMAT PACKAGE
p=${!#}
grep -qxF "$p" "$FAKE_STATE/installed" && { printf 'install ok installed'; exit 0; }
exit 1
FAKE
  cat >"$bin/dpkg" <<'FAKE'
#!/usr/bin/env bash
case $1 in
  --print-foreign-architectures) cat "$FAKE_STATE/arches" 2>/dev/null ;;
  --add-architecture) echo "$2" >>"$FAKE_STATE/arches" ;;
esac
FAKE
  cat >"$bin/apt-get" <<'FAKE'
#!/usr/bin/env bash
echo "apt-get $*" >>"$FAKE_STATE/calls"
for a in "$@"; do
  case $a in
    update)
      n=$(cat "$FAKE_STATE/update-failures" 2>/dev/null || echo 0)
      if [ "$n" -gt 0 ]; then
        echo $((n - 1)) >"$FAKE_STATE/update-failures"
        echo "E: Failed to fetch .../binary-i386/Packages.xz  File has unexpected size (374820 != 376004). Mirror sync in progress?" >&2
        exit 100
      fi
      exit 0 ;;
    install) install=1 ;;
  esac
done
[ -n "${install:-}" ] || exit 0
wanted=()
for a in "$@"; do case $a in -*|install) ;; *) wanted+=("$a") ;; esac; done
# Like apt, one package that cannot be had fails the whole call and installs nothing.
for p in "${wanted[@]}"; do
  if grep -qxF "$p" "$FAKE_STATE/unavailable" 2>/dev/null; then
    echo "E: Unable to correct problems, you have held broken packages." >&2
    exit 100
  fi
done
printf '%s\n' "${wanted[@]}" >>"$FAKE_STATE/installed"
FAKE
  printf '#!/bin/sh\necho "${FAKE_UID:-0}"\n' >"$bin/id"
  printf '#!/bin/sh\necho C; echo en_US.utf8\n' >"$bin/locale"
  chmod +x "$bin"/*
}

# run_case NAME: runs the set-up with the state in $state; leaves its output in $out, its exit
# code in $rc.
run_case() {
  state=$scratch/$1
  mkdir -p "$state"
  touch "$state/installed" "$state/calls"
  make_fakes "$state/bin"
}
run_setup() {
  out=$(FAKE_STATE=$state TARNWICK_SETUP_STAMP=$state/32bit.failed PATH="$state/bin:$PATH" bash "$setup" 2>&1)
  rc=$?
}
check() {
  local what=$1; shift
  if "$@"; then
    passed=$((passed + 1))
  else
    failures=$((failures + 1))
    echo "FAILED: $case_name: $what"
    echo "  output was:"; sed 's/^/    /' <<<"$out"
  fi
}
last_line() { tail -n 1 <<<"$out"; }
is_installed() { grep -qxF "$1" "$state/installed"; }
every_package_but() {
  local p
  for p in "${all_packages[@]}"; do
    [ "$p" = "$1" ] && continue
    is_installed "$p" || { echo "  $p was not installed"; return 1; }
  done
}

case_name="everything present"
run_case present
printf '%s\n' "${all_packages[@]}" >"$state/installed"
run_setup
check "exits 0" test "$rc" = 0
check "says nothing" test -z "$out"
check "asks apt nothing" test ! -s "$state/calls"

case_name="a mirror mid-sync and no 32-bit half to be had"
run_case mirror
echo 2 >"$state/update-failures"
echo wine32:i386 >"$state/unavailable"
run_setup
check "exits 0" test "$rc" = 0
check "updates twice, then installs" test "$(grep -c update "$state/calls")" = 2
check "installs everything else" every_package_but wine32:i386
check "adds the i386 architecture" grep -qx i386 "$state/arches"
check "warns of the failed update" grep -q "warning: 'apt-get update' failed again" <<<"$out"
check "its last line names what is missing" \
  grep -q '^setup: installed .*; missing wine32:i386 (the 32-bit tests will be skipped)$' <<<"$(last_line)"
check "its last line names what it installed" grep -q 'installed cmake ninja-build' <<<"$(last_line)"

case_name="the same again within the hour"
: >"$state/calls"
run_setup
check "exits 0" test "$rc" = 0
check "asks apt nothing" test ! -s "$state/calls"
check "says the 32-bit tests will be skipped" grep -q 'missing wine32:i386, which could not be installed within the last hour' <<<"$out"
case_name="the same an hour later"
touch -d '2 hours ago' "$state/32bit.failed"
rm "$state/unavailable"
run_setup
check "exits 0" test "$rc" = 0
check "tries again and installs it" is_installed wine32:i386
check "forgets the failure" test ! -e "$state/32bit.failed"

case_name="an update that fails once"
run_case once
echo 1 >"$state/update-failures"
run_setup
check "exits 0" test "$rc" = 0
check "installs everything" every_package_but ""
check "has nothing missing" grep -q '; missing nothing$' <<<"$(last_line)"

case_name="one package of the first half that cannot be had"
run_case nsis
echo nsis >"$state/unavailable"
printf '%s\n' cmake make >"$state/installed"
run_setup
check "fails" test "$rc" != 0
check "installs the others one at a time" every_package_but nsis
check "does not ask for what was there" test "$(grep -c 'install.* cmake' "$state/calls")" = 0
check "its last line names nsis" grep -q '; missing nsis$' <<<"$(last_line)"

case_name="only the 32-bit half missing, and no root"
run_case noroot
printf '%s\n' "${all_packages[@]}" | grep -v i386 >"$state/installed"
FAKE_UID=1000 run_setup
check "exits 0" test "$rc" = 0
check "says the 32-bit tests will be skipped" grep -q 'the 32-bit tests will be skipped' <<<"$out"
check "asks apt nothing" test ! -s "$state/calls"

echo "$passed passed, $failures failed"
((failures == 0))

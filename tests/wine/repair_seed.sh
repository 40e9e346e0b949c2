# Sourced by the repair and undo end-to-end scripts, after e2e_env.sh: seeds, through Wine's
# own reg.exe, findings of two sections (an App Paths key with a subtree and values of several
# types, a Run value) beside entries that must stay, and gives the helpers both scripts check
# with. Names begin with $1 ("TwRepair", "TwUndo"); the files they name lie in the Windows
# folder $2. The unseed file ($seed_dir/$3-unseed.reg) removes them again.
seed_name=$1 seed_folder=$2 seed_file=$3
seed_dir="$drive/tarnwick/tmp"
D=${seed_folder//\\/\\\\}
LM='HKEY_LOCAL_MACHINE'
APP="$LM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths"
RUN="$LM\\Software\\Microsoft\\Windows\\Currentversion\\Run"
mkdir -p "$seed_dir"
{
  printf 'REGEDIT4\r\n\r\n'
  printf '[%s\\%sGone.exe]\r\n@="%s\\\\gone.exe"\r\n"Path"="%s"\r\n"Bin"=hex:00,01,fe,ff\r\n"Num"=dword:0000002a\r\n"Multi"=hex(7):61,00,62,00,00,00\r\n\r\n' "$APP" "$seed_name" "$D" "$D"
  printf '[%s\\%sGone.exe\\Deep\\Deeper]\r\n"Exp"=hex(2):25,54,45,4d,50,25,00\r\n\r\n' "$APP" "$seed_name"
  printf '[%s\\%sThere.exe]\r\n@="%s\\\\there.exe"\r\n\r\n' "$APP" "$seed_name" "$D"
  printf '[%s]\r\n"%sGone"="\\"%s\\\\gonerun.exe\\" /s"\r\n"%sThere"="%s\\\\there.exe"\r\n\r\n' "$RUN" "$seed_name" "$D" "$seed_name" "$D"
} > "$seed_dir/$seed_file-seed.reg"
{
  printf 'REGEDIT4\r\n\r\n[-%s\\%sGone.exe]\r\n\r\n[-%s\\%sThere.exe]\r\n\r\n' "$APP" "$seed_name" "$APP" "$seed_name"
  printf '[%s]\r\n"%sGone"=-\r\n"%sThere"=-\r\n\r\n' "$RUN" "$seed_name" "$seed_name"
} > "$seed_dir/$seed_file-unseed.reg"
wine reg import "C:\\tarnwick\\tmp\\$seed_file-unseed.reg" $view >/dev/null 2>&1 || true
wine reg import "C:\\tarnwick\\tmp\\$seed_file-seed.reg" $view >/dev/null 2>&1

export_keys() {  # $1: output name
  wine reg export "$APP" "C:\\tarnwick\\tmp\\$1-app.reg" /y $view >/dev/null 2>&1
  wine reg export "$RUN" "C:\\tarnwick\\tmp\\$1-run.reg" /y $view >/dev/null 2>&1
  cat "$seed_dir/$1-app.reg" "$seed_dir/$1-run.reg" > "$work/$1.reg"
}

status=0 passed=0 failed=0
check() { if [ "$1" = ok ]; then passed=$((passed + 1)); else echo "FAIL: $2"; failed=$((failed + 1)); status=1; fi; }
has_key() { wine reg query "$1" $view >/dev/null 2>&1; }
has_value() { wine reg query "$1" /v "$2" $view >/dev/null 2>&1; }

# Sourced by the end-to-end scripts: the two arguments CTest gives them (the folder of
# tarnwick-cli.exe, the build tree), the tree's Wine prefix made ready, a scratch folder
# ($work, removed by the script's own trap), the prefix's C: drive, the registry view of the
# tree's build for reg.exe, and cli to run tarnwick-cli.
cli_dir=$1; build_dir=$2
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
tools=$(cd "$here/../../tools" && pwd)
export TARNWICK_BUILD_DIR=$build_dir WINEPREFIX=$build_dir/wineprefix WINEDEBUG=-all
"$tools/wine-prefix.sh" "$WINEPREFIX"
work=$(mktemp -d)
drive=$WINEPREFIX/drive_c
view=/reg:64
case $(basename "$build_dir") in win32) view=/reg:32 ;; esac
cli() { "$tools/wine-run.sh" "$cli_dir/tarnwick-cli.exe" "$@"; }

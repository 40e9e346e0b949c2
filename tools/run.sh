#!/usr/bin/env bash
# Starts the program under Wine in the build tree's sandbox prefix (never ~/.wine), seeded
# with a small demonstration registry. Until the windowed program is built, it shows the
# demonstration key's values through tarnwick-cli.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
tree=${1:-build/win64}
tree=$(cd "$tree" && pwd)
export TARNWICK_BUILD_DIR=$tree WINEPREFIX=$tree/wineprefix WINEDEBUG=-all
"$here/wine-prefix.sh" "$WINEPREFIX"
"$here/seed-demo-registry.sh"
key='HKEY_CURRENT_USER\Software\Tarnwick Demo'
echo "Values of $key:"
"$here/wine-run.sh" "$tree/src/tarnwick-cli.exe" values "$key" --sorted

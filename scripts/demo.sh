#!/usr/bin/env bash
# Installs what is missing, builds the Windows tool and the stand-in Notes
# runtime, and runs Quorvane.exe under Wine on the sample data directory.
# Arguments are passed to the tool after "/path <samples>", e.g. /details.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh"
if [ ! -f "$root/build/win/build.ninja" ]; then (cd "$root" && cmake --preset win >/dev/null); fi
cmake --build "$root/build/win" --target Quorvane nnotes >/dev/null

# shellcheck source=wine-prefix.sh
. "$root/scripts/wine-prefix.sh"
start_wineserver "$root/build/win/demo-prefix"

# The stand-in is installed as a server records its program directory, in
# the registry of the demo's own prefix, and removed after the run.
standin="Z:${root//\//\\}\\build\\win\\standin"
"$wine" reg add 'HKLM\SOFTWARE\Lotus\Domino' /v Path /t REG_SZ /d "$standin" /f >/dev/null 2>&1
samples="Z:${root//\//\\}\\samples"
echo "\$ Quorvane.exe /path $samples $*"
set +e
"$wine" "$root/build/win/bin/Quorvane.exe" /path "$samples" "$@"
status=$?
"$wine" reg delete 'HKLM\SOFTWARE\Lotus' /f >/dev/null 2>&1
echo "(exit status $status)"
exit "$status"

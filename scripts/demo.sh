#!/usr/bin/env bash
# Installs what is missing, builds the Windows tool and the stand-in Notes
# runtime, and runs Quorvane.exe under Wine on the sample data directory.
# Arguments are passed to the tool after "/path <samples>", e.g. /help.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh"
if [ ! -f "$root/build/win/build.ninja" ]; then
  cmake -S "$root" -B "$root/build/win" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" >/dev/null
fi
cmake --build "$root/build/win" --target Quorvane nnotes >/dev/null

# shellcheck source=wine-prefix.sh
. "$root/scripts/wine-prefix.sh"
start_wineserver

# The stand-in library is found along PATH, as a real nnotes.dll would be
# found in the Notes program directory.
export WINEPATH="Z:${root//\//\\}\\build\\win\\standin"
samples="Z:${root//\//\\}\\samples"
echo "\$ Quorvane.exe /path $samples $*"
set +e
"$wine" "$root/build/win/bin/Quorvane.exe" /path "$samples" "$@"
status=$?
echo "(exit status $status)"
exit "$status"

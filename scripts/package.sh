#!/usr/bin/env bash
# Builds the Windows release: build/win/package/Quorvane-<version>-win64.zip
# with Quorvane.exe, the administrators' README and the licence.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh"
(cd "$root" && cmake --preset win >/dev/null && cmake --build --preset win --target Quorvane)
cpack --config "$root/build/win/CPackConfig.cmake" -B "$root/build/win/package" | grep "package:"

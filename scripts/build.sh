#!/usr/bin/env bash
# Configures and builds the native and the Windows build.
#   scripts/build.sh [native|win]...   (both by default)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
builds=("$@")
[ "${#builds[@]}" -gt 0 ] || builds=(native win)
for build in "${builds[@]}"; do
  case "$build" in
    native) extra=() ;;
    win) extra=(-DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake") ;;
    *) echo "build.sh: unknown build '$build'" >&2; exit 2 ;;
  esac
  if [ ! -f "$root/build/$build/build.ninja" ]; then
    cmake -S "$root" -B "$root/build/$build" -G Ninja "${extra[@]}" >/dev/null
  fi
  cmake --build "$root/build/$build"
done

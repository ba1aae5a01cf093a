#!/usr/bin/env bash
# Configures and builds the project's builds, each with its CMake preset
# (CMakePresets.json holds every configure flag) in build/<name>.
#   scripts/build.sh [native|win|asan|fuzz|coverage|coverage-win]...   (native and win by default)
#     native    the tool, the stand-in and the tests, natively (GCC)
#     win       the same cross-compiled for Windows (tests run under Wine)
#     asan      native, every file built with AddressSanitizer and UBSan
#     fuzz      the libFuzzer targets of fuzz/, with clang
#     coverage  native and Windows builds with gcov counters (scripts/coverage.sh)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
builds=("$@")
[ "${#builds[@]}" -gt 0 ] || builds=(native win)
cd "$root"
for build in "${builds[@]}"; do
  case "$build" in
    native | win | asan | fuzz | coverage | coverage-win) ;;
    *) echo "build.sh: unknown build '$build'" >&2; exit 2 ;;
  esac
  if [ ! -f "build/$build/build.ninja" ]; then
    cmake --preset "$build" >/dev/null
  fi
  cmake --build --preset "$build"
done

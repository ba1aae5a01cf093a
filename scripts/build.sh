#!/usr/bin/env bash
# Configures and builds the project's builds, each in build/<name>.
#   scripts/build.sh [native|win|asan|fuzz]...   (native and win by default)
#     native  the tool, the stand-in and the tests, natively
#     win     the same cross-compiled for Windows (tests run under Wine)
#     asan    native, every file built with AddressSanitizer and UBSan
#     fuzz    the libFuzzer targets of fuzz/, with clang
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
builds=("$@")
[ "${#builds[@]}" -gt 0 ] || builds=(native win)
sanitize="-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer"
for build in "${builds[@]}"; do
  case "$build" in
    native) extra=() ;;
    win) extra=(-DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake") ;;
    asan)
      # The tool, the stand-in library it loads and the tests all carry the
      # sanitizers, so a fault anywhere in a test's path is reported. -O1 with
      # line tables only keeps the build short and the reports readable.
      extra=(-DCMAKE_BUILD_TYPE=Debug -DCMAKE_C_FLAGS_DEBUG="-O1 -g1" -DCMAKE_CXX_FLAGS_DEBUG="-O1 -g1"
        -DCMAKE_C_FLAGS="$sanitize" -DCMAKE_CXX_FLAGS="$sanitize"
        -DCMAKE_EXE_LINKER_FLAGS="$sanitize" -DCMAKE_SHARED_LINKER_FLAGS="$sanitize") ;;
    fuzz)
      extra=(-DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DQUORVANE_FUZZ=ON
        -DQUORVANE_TESTS=OFF) ;;
    *) echo "build.sh: unknown build '$build'" >&2; exit 2 ;;
  esac
  if [ ! -f "$root/build/$build/build.ninja" ]; then
    cmake -S "$root" -B "$root/build/$build" -G Ninja "${extra[@]}" >/dev/null
  fi
  # The fuzz build makes only the fuzz targets (and the seed writer).
  if [ "$build" = fuzz ]; then targets=(--target fuzzers); else targets=(); fi
  cmake --build "$root/build/$build" "${targets[@]}"
done

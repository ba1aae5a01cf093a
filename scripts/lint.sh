#!/usr/bin/env bash
# The lint stage: every C++ file formatted as .clang-format says, and
# clang-tidy (.clang-tidy) with no finding over the tool, the stand-in and
# the generator, in both builds: natively, and as the Windows build compiles
# them, so that the registry lookup and the Windows loader are read too.
# Prints one line per check and ends with "N passed, M failed".
#   scripts/lint.sh          (configures build/native and build/win if needed)
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
jobs=${CMAKE_BUILD_PARALLEL_LEVEL:-2}
passed=0 failed=0
result() {  # NAME STATUS LOG
  if [ "$2" -eq 0 ]; then
    passed=$((passed + 1))
    echo "lint: $1: clean"
  else
    failed=$((failed + 1))
    echo "lint: $1: FAILED"
    cat "$3"
  fi
}
mkdir -p build/lint

mapfile -t sources < <(git ls-files '*.cpp' '*.h')
clang-format --dry-run --Werror "${sources[@]}" >build/lint/format.log 2>&1
result "clang-format, ${#sources[@]} files" $? build/lint/format.log

# The files clang-tidy reads: every translation unit of these folders in the
# build's compile database; their headers come in through HeaderFilterRegex.
tidied='/(src/apps/Quorvane|standin|generator)/[^/]+\.cpp$'
for build in native win; do
  if [ ! -f "build/$build/compile_commands.json" ]; then
    cmake --preset "$build" >/dev/null || exit 1
  fi
  extra=() database=build/$build
  if [ "$build" = win ]; then
    # A copy of the compile database without the one GCC flag clang does not
    # know (CMake's hidden inline visibility for a Windows DLL).
    database=build/lint/win
    mkdir -p "$database"
    sed 's/ -fno-keep-inline-dllexport//g' build/win/compile_commands.json \
      >"$database/compile_commands.json"
    # clang-tidy reads the mingw-w64 compile commands as clang would compile
    # them for that target, with GCC's C++ library and mingw-w64's headers
    # but clang's own intrinsics.
    gcc=$(dirname "$(x86_64-w64-mingw32-g++-posix -print-libgcc-file-name)")
    extra=(-extra-arg=--target=x86_64-w64-mingw32 -extra-arg=-nostdinc++
      "-extra-arg=-isystem$gcc/include/c++" "-extra-arg=-isystem$gcc/include/c++/x86_64-w64-mingw32"
      -extra-arg=-isystem/usr/x86_64-w64-mingw32/include)
  fi
  units=$(grep -cE "\"file\": \".*${tidied%\$}\"" "build/$build/compile_commands.json")
  run-clang-tidy -quiet -p "$database" -j "$jobs" "${extra[@]}" "$root$tidied" \
    >"build/lint/tidy-$build.log" 2>&1
  status=$?
  # run-clang-tidy passes when clang-tidy is missing a file; a finding or an
  # error in its output fails the check all the same.
  if grep -qE ': (warning|error):' "build/lint/tidy-$build.log"; then status=1; fi
  result "clang-tidy, $build build, $units files" "$status" "build/lint/tidy-$build.log"
done

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]

#!/usr/bin/env bash
# Line and branch coverage of the tool's code, src/apps/Quorvane/. Two builds
# carry gcov's counters (--coverage -O0): build/coverage runs the native
# suite, build/coverage-win the Windows suite under Wine, the only one that
# reaches the Windows loader. gcovr reads each with its own compiler's gcov
# and merges both into one report:
#   build/coverage/report/index.html   line by line, per file
#   build/coverage/report/lines.txt    lines per file, those not run
#   build/coverage/report/branches.txt branches per file
# Each build's figures and the merged ones, the lines not run and the lines
# with a branch not taken are printed at the end; docs/coverage.md says why
# each branch is not taken. The edges g++ adds for exceptions passing through
# a call are left out (--exclude-throw-branches); the census's handlers for
# them are counted.
# Fails when a test fails, since the figures would then mean nothing.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
native=$root/build/coverage
windows=$root/build/coverage-win
report=$native/report
jobs=${CMAKE_BUILD_PARALLEL_LEVEL:-2}
"$root/scripts/setup.sh"

# configure_and_build PRESET: build/PRESET, configured by its preset.
configure_and_build() {
  local dir=$root/build/$1
  if [ ! -f "$dir/build.ninja" ]; then (cd "$root" && cmake --preset "$1" >/dev/null); fi
  (cd "$root" && cmake --build --preset "$1" --parallel "$jobs") >"$dir/build.log" 2>&1 || {
    tail -40 "$dir/build.log"
    echo "coverage: the build in $dir failed" >&2
    exit 1
  }
  # Counts of an earlier run would be added to this one's.
  find "$dir" -name '*.gcda' -delete
}

# run_tests PRESET: the whole suite of the build by its test preset, its log
# beside it.
run_tests() {
  local log=$root/build/$1/ctest.log
  if ! (cd "$root" && ctest --preset "$1") >"$log" 2>&1; then
    grep -E "tests passed|\*\*\*Failed|Failed  " "$log" || true
    echo "coverage: tests failed in build/$1 (see $log)" >&2
    exit 1
  fi
  grep -E "tests passed" "$log"
}

# tracefile DIR GCOV OUTPUT: the build's counts of the tool's files as a
# gcovr JSON tracefile.
tracefile() {
  (cd "$root" && gcovr --root "$root" --filter 'src/apps/Quorvane/' --exclude-throw-branches \
    --gcov-executable "$2" --json "$3" "$1")
}

echo "== native build with coverage: $native"
configure_and_build coverage
run_tests coverage
tracefile "$native" gcov "$native/native.json"

echo "== Windows build with coverage, tests under Wine: $windows"
configure_and_build coverage-win
# The build tree's own prefix, where the registry tests run.
# shellcheck source=wine-prefix.sh
. "$root/scripts/wine-prefix.sh"
start_wineserver "$windows/wineprefix"
# Each count file lies at the host path its object was compiled at, which a
# Windows process reaches on drive Z: (Wine maps / there) from any current
# drive: the test preset sets GCOV_PREFIX=Z:. The test programs and the tool
# share the counters of the tool's objects; the preset runs one test at a
# time, which keeps their updates of those files from crossing (file locks
# do that reliably only natively).
run_tests coverage-win
tracefile "$windows" x86_64-w64-mingw32-gcov-posix "$windows/windows.json"

echo "== both merged"
rm -rf "$report"
mkdir -p "$report"
# A function the two builds define apart, at other lines (the loader's),
# keeps the Windows one under a name of its own: gcovr merges functions by
# name and cannot merge those.
python3 - "$native/native.json" "$windows/windows.json" "$windows/windows-to-merge.json" <<'PY'
import json, sys
native, windows = (json.load(open(p)) for p in sys.argv[1:3])
lines = {(f["file"], fn["name"]): fn["lineno"] for f in native["files"] for fn in f["functions"]}
for f in windows["files"]:
    for fn in f["functions"]:
        if lines.get((f["file"], fn["name"]), fn["lineno"]) != fn["lineno"]:
            fn["name"] += " [Windows]"
json.dump(windows, open(sys.argv[3], "w"))
PY
merged=(--root "$root" --add-tracefile "$native/native.json"
  --add-tracefile "$windows/windows-to-merge.json")
(cd "$root" && gcovr "${merged[@]}" --html-details "$report/index.html" --json-pretty \
  --json "$report/coverage.json" --txt "$report/lines.txt")
(cd "$root" && gcovr "${merged[@]}" --branches --txt "$report/branches.txt")
# Each build's figures and the merged ones (gcovr's summary), then the
# lines not run and the lines with a branch not taken ("Missing").
for tracefile in "$native/native.json" "$windows/windows.json" "$report/coverage.json"; do
  echo "${tracefile##*/}:"
  (cd "$root" && gcovr --root "$root" --add-tracefile "$tracefile" --print-summary \
    --txt "$report/summary-${tracefile##*/}.txt")  # a file of its own: gcovr replaces it
done
cat "$report/lines.txt" "$report/branches.txt"
echo "report: $report/index.html"

#!/usr/bin/env bash
# The test command: installs what is missing, builds, runs the tests, then
# reads each stage's own results (JUnit files) and ends with "N passed, M
# failed, K skipped". The exit status is 0 exactly when M is 0.
#   scripts/test.sh          the everyday proof, in minutes: both builds, the
#                            native suites, the Windows suites as the bundle
#   scripts/test.sh --full   the whole proof (.ci/run): also lint, memcheck,
#                            the registry cases, the release, the sanitizers,
#                            fuzzing and mutation
# Each stage is timed; what it does: docs/maintaining.md. Logs:
# build/results/<stage>.log. Skips that may occur: tests/skips.txt.
set -uo pipefail
case "${1:-}" in
  "") full=no ;;
  --full) full=yes ;;
  *) echo "usage: scripts/test.sh [--full]" >&2 && exit 2 ;;
esac
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
results=$root/build/results stages=$root/build/results/stages
rm -rf "$results" && mkdir -p "$results"

# stage NAME JUNIT COMMAND...: runs the command, its output in the stage's
# log, and notes its status, time and results file.
stage() {
  local name=$1 junit=$2 began=$SECONDS
  shift 2
  echo "== $name"
  [ "$junit" = - ] || rm -rf "$junit"
  "$@" >"$results/$name.log" 2>&1
  local status=$?
  echo "$name $status $((SECONDS - began)) $junit" >>"$stages"
  [ "$status" -eq 0 ] || tail -n 30 "$results/$name.log"
}
build() { cmake --preset "$1" && cmake --build --preset "$1"; }
tests() { ctest --preset "$1" --output-junit "$results/$2.xml"; }

stage setup - scripts/setup.sh
trees=(native win) native=native
[ "$full" = no ] || trees+=(asan fuzz) native=native-full
for tree in "${trees[@]}"; do stage "build-$tree" - build "$tree"; done
# shellcheck source=wine-prefix.sh
. "$root/scripts/wine-prefix.sh"
if [ "$full" = yes ]; then  # the Windows tree's prefix, made while the native tests run
  prepare_prefix "$root/build/win/wineprefix" >/dev/null &
  booting=$!
fi
stage native-tests "$results/native-tests.xml" tests "$native" native-tests
if [ "$full" = yes ]; then
  stage wine-prefix - eval 'wait $booting && start_wineserver'
  stage win-tests "$results/win-tests.xml" tests win-tree win-tests
  stage release "$results/release.xml" tests release release
fi
stage win-bundle "$results/win-bundle" tests/bundle/wine-test.sh "$results/win-bundle"
if [ "$full" = yes ]; then
  stage asan-tests "$results/asan-tests.xml" tests asan asan-tests
  stage fuzz "$results/fuzz.xml" tests fuzz fuzz
  stage mutation "$root/build/mutation/results.xml" scripts/mutate.sh
fi

echo
python3 scripts/results.py "$stages" tests/skips.txt

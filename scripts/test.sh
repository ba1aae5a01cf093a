#!/usr/bin/env bash
# Installs what is missing, builds every build and runs every test: the lint
# stage (clang-format, clang-tidy), the native build natively, the Windows build under Wine, the native tests again
# with AddressSanitizer and UBSan, the native end-to-end tests with every tool
# process under valgrind's memcheck, each fuzz target for a minute, and the
# mutation stage, which plants faults in the tool and requires each caught.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh" || exit 1
"$root/scripts/build.sh" native win || exit 1
"$root/scripts/build.sh" asan fuzz || exit 1

# shellcheck source=wine-prefix.sh
. "$root/scripts/wine-prefix.sh"
start_wineserver
cd "$root"

failed=0
echo
echo "== lint: formatting and clang-tidy"
"$root/scripts/lint.sh" 2>&1 | tee "$root/build/lint.log"
[ "${PIPESTATUS[0]}" -eq 0 ] || failed=1

# Each build's tests by its test preset (the sanitizers' options are the
# asan preset's).
for build in native win asan; do
  echo
  echo "== tests of the $build build"
  ctest --preset "$build" 2>&1 | tee "$root/build/$build/ctest.log"
  [ "${PIPESTATUS[0]}" -eq 0 ] || failed=1
done

# Every process of the tool that the native end-to-end tests start runs under
# memcheck (scripts/memcheck.sh), one report per process in build/memcheck.
# The tests are those of every suite in the end-to-end test program, less
# the one whose tool processes the stand-in aborts on purpose (a call log it
# cannot keep): an aborted process leaves its memory allocated.
echo
echo "== end-to-end tests of the native build under valgrind memcheck"
memcheck="$root/build/memcheck"
rm -rf "$memcheck"
mkdir -p "$memcheck"
e2e_suites=$("$root/build/native/tests/e2e/quorvane_e2e_tests" --gtest_list_tests |
  grep -E '^[A-Za-z0-9_/]+\.$' | sed 's/\.$//' | paste -sd'|')
QUORVANE_E2E_WRAPPER="$root/scripts/memcheck.sh" QUORVANE_MEMCHECK_LOGS="$memcheck" \
  ctest --preset native -R "^($e2e_suites)\\." -E 'CallLogThatCannotBeKeptStopsTheProcess' 2>&1 |
  tee "$memcheck/ctest.log"
[ "${PIPESTATUS[0]}" -eq 0 ] || failed=1
# The reports themselves, so that a wrapper that never ran cannot pass: at
# least one report, and every one of them clean.
reports=$(find "$memcheck" -name 'memcheck.*.log' | wc -l)
dirty=$(grep -L "ERROR SUMMARY: 0 errors" "$memcheck"/memcheck.*.log 2>/dev/null)
echo "memcheck: $reports tool processes checked, $(grep -c . <<<"$dirty") with errors"
[ -n "$dirty" ] && echo "$dirty"
memcheck_clean=0
[ "$reports" -gt 0 ] && [ -z "$dirty" ] && memcheck_clean=1

# Each fuzz target for a minute, both at once; the corpus grows in build/fuzz
# from the checked-in seeds. A crash, a leak, a violated invariant or an input
# that takes longer than 10 s fails it, and the input is saved there.
echo
echo "== fuzz targets, 60 s each"
fuzz_targets=(run_options census)
for target in "${fuzz_targets[@]}"; do
  mkdir -p "$root/build/fuzz/corpus/$target" "$root/build/fuzz/artifacts"
  "$root/build/fuzz/fuzz/fuzz_$target" -max_total_time=60 -timeout=10 -close_fd_mask=2 \
    -print_final_stats=1 -artifact_prefix="$root/build/fuzz/artifacts/$target-" \
    "$root/build/fuzz/corpus/$target" "$root/fuzz/corpus/$target" \
    >"$root/build/fuzz/$target.log" 2>&1 &
  echo $! >"$root/build/fuzz/$target.pid"
done
fuzz_clean=()
for target in "${fuzz_targets[@]}"; do
  if wait "$(cat "$root/build/fuzz/$target.pid")"; then
    fuzz_clean+=(1)
    echo "fuzz_$target: $(grep -E '^Done [0-9]+ runs' "$root/build/fuzz/$target.log"), no finding"
  else
    fuzz_clean+=(0)
    echo "fuzz_$target: FAILED, see build/fuzz/$target.log"
    tail -40 "$root/build/fuzz/$target.log"
  fi
done

# Faults planted in the tool one at a time: every one must make a test fail
# (tests/mutation/mutants.txt). Each mutant is one result.
echo
echo "== mutation stage: planted faults, each must be caught"
"$root/scripts/mutate.sh" 2>&1 | tee "$root/build/mutation.log"
[ "${PIPESTATUS[0]}" -eq 0 ] || failed=1

# One closing line over every stage: each lint check, each test of the
# ctest runs, the memcheck reports as one result, each fuzz target as one
# and each mutant as one.
passed=0 failures=0
for log in native/ctest.log win/ctest.log asan/ctest.log memcheck/ctest.log; do
  line=$(grep -E "tests passed, [0-9]+ tests failed out of [0-9]+" "$root/build/$log" | tail -1)
  total=$(sed -E 's/.*out of ([0-9]+).*/\1/' <<<"$line")
  bad=$(sed -E 's/.*passed, ([0-9]+) tests failed.*/\1/' <<<"$line")
  if [ -z "$line" ]; then failed=1; continue; fi
  passed=$((passed + total - bad))
  failures=$((failures + bad))
done
for log in lint.log mutation.log; do
  line=$(grep -E "^[0-9]+ passed, [0-9]+ failed$" "$root/build/$log" | tail -1)
  if [ -n "$line" ]; then
    passed=$((passed + $(cut -d' ' -f1 <<<"$line")))
    failures=$((failures + $(cut -d' ' -f3 <<<"$line")))
  else
    failed=1
  fi
done
for clean in "$memcheck_clean" "${fuzz_clean[@]}"; do
  if [ "$clean" -eq 1 ]; then passed=$((passed + 1)); else failures=$((failures + 1)); fi
done
echo
echo "$passed passed, $failures failed"
[ "$failed" -eq 0 ] && [ "$failures" -eq 0 ]

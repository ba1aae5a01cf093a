#!/usr/bin/env bash
# Installs what is missing, builds both builds and runs every test: the
# native build natively, the Windows build under Wine.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh" || exit 1
"$root/scripts/build.sh" native win || exit 1

# shellcheck source=wine-prefix.sh
. "$root/scripts/wine-prefix.sh"
start_wineserver

failed=0
for build in native win; do
  echo
  echo "== tests of the $build build"
  ctest --test-dir "$root/build/$build" --output-on-failure -j2 2>&1 | tee "$root/build/$build/ctest.log"
  [ "${PIPESTATUS[0]}" -eq 0 ] || failed=1
done

# One closing line over both builds.
passed=0 failures=0
for build in native win; do
  line=$(grep -E "tests passed, [0-9]+ tests failed out of [0-9]+" "$root/build/$build/ctest.log" | tail -1)
  total=$(sed -E 's/.*out of ([0-9]+).*/\1/' <<<"$line")
  bad=$(sed -E 's/.*passed, ([0-9]+) tests failed.*/\1/' <<<"$line")
  if [ -z "$line" ]; then failed=1; continue; fi
  passed=$((passed + total - bad))
  failures=$((failures + bad))
done
echo
echo "$passed passed, $failures failed"
[ "$failed" -eq 0 ] && [ "$failures" -eq 0 ]

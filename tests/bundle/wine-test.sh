#!/usr/bin/env bash
# The Windows test bundle run as on a Windows machine: built by
# scripts/package.sh --tests, unpacked into drive C: of a fresh Wine prefix
# whose drive Z: (Wine's way to the host's files) is removed, so that nothing
# of the build machine can be reached, and run-tests.cmd run there through
# Wine's cmd. Fails when a file of the bundle names the checkout or a system
# path of the build machine, when run-tests.cmd fails, or when its closing
# line differs from the counts of the programs' own XML results, which are
# left in RESULTS.
#   tests/bundle/wine-test.sh RESULTS
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
results=$(mkdir -p "$1" && cd "$1" && pwd)
work=$root/build/bundle
rm -rf "$work" "$results"/*.xml && mkdir -p "$work"
QUORVANE_PACKAGE_DIR=$work/package "$root/scripts/package.sh" --tests >/dev/null || exit 1
zip=$(echo "$work"/package/*-tests-win64.zip)
name=$(basename "$zip" .zip)

# shellcheck source=../../scripts/wine-prefix.sh
. "$root/scripts/wine-prefix.sh"
export WINEPREFIX=$work/prefix
"$wine" wineboot -i >/dev/null 2>&1
"$wineserver" -w
rm "$WINEPREFIX/dosdevices/z:" || exit 1
(cd "$WINEPREFIX/drive_c" && unzip -q "$zip") || exit 1
if grep -r -l -a -F -e "$root" -e /usr/ "$WINEPREFIX/drive_c/$name"; then
  echo "wine-test: the files above name a path of the build machine"
  exit 1
fi
start_wineserver "$WINEPREFIX"
cd "$WINEPREFIX/drive_c" || exit 1
"$wine" cmd /c "C:\\$name\\run-tests.cmd" 2>&1 | tr -d '\r' | tee "$work/run-tests.log"
status=${PIPESTATUS[0]}
cp "$WINEPREFIX/drive_c/$name"/results/*.xml "$results/"
counted=$(python3 "$root/scripts/results.py" --count "$results")
closing=$(tail -n 1 "$work/run-tests.log")
if [ "$closing" != "$counted" ]; then
  echo "wine-test: run-tests.cmd ended \"$closing\", its programs' results say \"$counted\""
  exit 1
fi
exit "$status"

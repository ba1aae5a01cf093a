#!/usr/bin/env bash
# The Windows test bundle (scripts/package.sh --tests) run as on Windows: in
# a fresh Wine prefix whose drive Z: (Wine's way to the host's files) is
# removed, through Wine's cmd, on the release zip's exe unpacked into
# C:\Program Files. Fails when a file of either names a path of the build
# machine, when run-tests.cmd fails, or when its closing line differs from
# the counts of the programs' XML results, which are left in RESULTS.
#   tests/bundle/wine-test.sh RESULTS
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
results=$(mkdir -p "$1" && cd "$1" && pwd)
work=$root/build/bundle
rm -rf "$work" "$results"/*.xml && mkdir -p "$work"
# shellcheck source=../../scripts/wine-prefix.sh
. "$root/scripts/wine-prefix.sh"
export WINEPREFIX=$work/prefix
prepare_prefix "$WINEPREFIX" >/dev/null &  # while the bundle is made
booting=$!
QUORVANE_PACKAGE_DIR=$work/package "$root/scripts/package.sh" --tests >/dev/null || exit 1
zip=$(echo "$work"/package/*-tests-win64.zip)
name=$(basename "$zip" .zip)
release=${name%-tests-win64}-win64
wait $booting
rm "$WINEPREFIX/dosdevices/z:" || exit 1
drive=$WINEPREFIX/drive_c
(cd "$drive" && unzip -q "$zip" && cd "Program Files" && unzip -q "$work/package/$release.zip") ||
  exit 1
if grep -r -l -a -F -e "$root" -e /usr/ "$drive/$name" "$drive/Program Files/$release"; then
  echo "wine-test: the files above name a path of the build machine"
  exit 1
fi
start_wineserver "$WINEPREFIX"
cd "$drive" || exit 1
# A hang ends the run after 10 minutes, as CTest's time limits would.
timeout -k 5 600 "$wine" cmd /c "C:\\$name\\run-tests.cmd" "C:\\Program Files\\$release\\Quorvane.exe" 2>&1 |
  tr -d '\r' | tee "$work/run-tests.log"
status=${PIPESTATUS[0]}
cp "$drive/$name"/results/*.xml "$results/"
counted=$(python3 "$root/scripts/results.py" --count "$results")
closing=$(tail -n 1 "$work/run-tests.log")
if [ "$closing" != "$counted" ]; then
  echo "wine-test: run-tests.cmd ended \"$closing\", its programs' results say \"$counted\""
  exit 1
fi
exit "$status"

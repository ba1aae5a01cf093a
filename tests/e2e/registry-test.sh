#!/usr/bin/env bash
# The registry cases beside keys they did not create, in the Windows build
# tree's own prefix: an installation's keys stay as they were and the cases
# skip, naming one; marked leftovers of an interrupted run are removed and the
# cases run; a Lotus key holding another's subkey keeps it. The two Lotus
# trees must be absent at the start (else it refuses), and are removed at exit.
#   tests/e2e/registry-test.sh BUILD_DIR
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=$1
export WINEPREFIX=$build/wineprefix QUORVANE_REGISTRY_TESTS=$build/wineprefix
lotus='HKLM\SOFTWARE\Lotus' wow='HKLM\SOFTWARE\Wow6432Node\Lotus'
reg() { "$root/scripts/wine-run" reg "$@" 2>&1 | tr -d '\r'; }
add() { reg add "$1" /v "$2" /t REG_SZ /d "$3" /f >/dev/null; }
mark() { add "$1" QuorvaneTestKey "created by quorvane_lookup_tests"; }
snapshot() { reg query "$lotus" /s; reg query "$wow" /s; }
clean() { reg delete "$lotus" /f >/dev/null; reg delete "$wow" /f >/dev/null; }

# Wine's services, started with the first program, hold no pipe of ours open.
"$root/scripts/wine-run" wineboot >/dev/null 2>&1
for key in "$lotus" "$wow"; do
  ! reg query "$key" >/dev/null || { echo "registry-test: $key exists; refusing to plant keys beside it"; exit 1; }
done
trap clean EXIT
trap 'exit 1' INT TERM
absent=$(snapshot)
failed=0

# check NAME AFTER TEXT: the cases, run on the keys planted, end with status
# 0, print TEXT, and leave both trees as they were (AFTER "kept") or absent.
check() {
  local before out status after
  before=$(snapshot)
  out=$("$root/scripts/wine-run" "$build/bin/quorvane_lookup_tests.exe" 2>&1 | tr -d '\r')
  status=$?
  after=$(snapshot)
  [ "$2" = kept ] || before=$absent
  if [ "$status" = 0 ] && grep -qF -- "$3" <<<"$out" && [ "$after" = "$before" ]; then
    echo "ok: $1"
  else
    failed=1
    echo "FAILED: $1: status $status; the keys, expected $2 (< expected, > after):"
    diff <(echo "$before") <(echo "$after")
    printf 'the output, expected to hold "%s":\n%s\n' "$3" "$out"
  fi
  clean
}

add "$lotus\\Domino" Path 'C:\Lotus\Domino'
add "$lotus\\Domino" DataPath 'C:\Lotus\Domino\Data'
add "$wow\\Notes" Path 'C:\Program Files (x86)\Notes'
add "$wow\\Notes" DataPath 'C:\Program Files (x86)\Notes\Data'
check "an installation" kept \
  'HKLM\SOFTWARE\Lotus\Domino exists, and the registry cases did not create it'

for key in "$lotus" "$lotus\\Domino" "$wow" "$wow\\Notes"; do mark "$key"; done
add "$lotus\\Domino" Path 'C:\gone'
check "the marked leftovers of an interrupted run" gone '[  PASSED  ] 2 tests.'

add "$lotus\\Traveler" Path 'C:\Traveler'
mark "$wow"
add "$wow\\Traveler" Path 'C:\Traveler'
check "Lotus keys holding another's subkey" kept '[  PASSED  ] 2 tests.'
exit "$failed"

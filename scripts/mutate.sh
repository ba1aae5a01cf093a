#!/usr/bin/env bash
# The mutation stage: plants each fault of tests/mutation/mutants.txt in the
# tool's sources, one at a time, rebuilds the build that runs it, and runs
# that build's tests. A mutant the tests catch (a failing test, a crash, a
# hang of more than 30 s) passes; one that survives fails the stage, and so
# does one the compiler refuses, since it tests nothing. An equivalent
# mutant, listed with the reason no test can catch it, is reported and not
# run (each was run by hand and survived).
#   scripts/mutate.sh [PATTERN]   only the mutants whose line contains PATTERN
# The source file is restored on every path, an interrupted run included; a
# run killed outright is repaired by the next one.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
list="$root/tests/mutation/mutants.txt"
sources="$root/src/apps/Quorvane"
work="$root/build/mutation"
pattern="${1:-}"
mkdir -p "$work"
# One run at a time: two would plant their faults in each other's builds.
exec 9>"$work/lock"
if ! flock -n 9; then echo "mutate: another run is in progress" >&2; exit 2; fi

# A pristine copy of the file being mutated lives in $work while it is.
restore() {
  local saved
  for saved in "$work"/*.orig; do
    [ -e "$saved" ] || continue
    cp "$saved" "$sources/$(basename "$saved" .orig)" && rm -f "$saved"
  done
}
restore
trap restore EXIT
trap 'restore; exit 130' INT TERM HUP

# Applies a mutant to its file: the text must occur exactly once.
# In the list a pilcrow stands for a line end.
apply() {  # file text replacement
  FROM="${2//¶/$'\n'}" TO="${3//¶/$'\n'}" perl -0777 -i -pe '
    my $n = () = /\Q$ENV{FROM}\E/g;
    if ($n != 1) { print STDERR "found $n times\n"; exit 3 }
    s/\Q$ENV{FROM}\E/$ENV{TO}/;' "$sources/$1"
}

line_of() {  # file text
  FROM="${2//¶/$'\n'}" perl -0777 -ne 'if (/\Q$ENV{FROM}\E/) { print 1 + (substr($_, 0, $-[0]) =~ tr/\n//) }' \
    "$sources/$1"
}

# shellcheck source=wine-prefix.sh
. "$root/scripts/wine-prefix.sh"
wine_started=0

# Runs one test program, given up after 30 s (a hang is caught too); it
# stops at the first failing test.
run_tests() {  # build program filter
  local build=$1 program=$2 filter=$3 runner=()
  if [ "$build" = win ]; then
    if [ "$wine_started" -eq 0 ]; then start_wineserver; wine_started=1; fi
    runner=("$root/scripts/wine-run")
    program="$program.exe"
  fi
  ( cd "$root/build/$build" &&
    timeout -k 5 30 "${runner[@]}" "$root/build/$build/$program" --gtest_filter="$filter" \
      --gtest_fail_fast --gtest_brief=1 >"$work/last-test.log" 2>&1 )
}

# The stages of each build, fastest first, as target:program:filter; the
# first that fails catches the mutant, and a stage's target is built only
# when the stages before it have passed. Under Wine the end-to-end stage
# runs the cases that load the library; the lookup tests cover the rest of
# what only the Windows build has.
declare -A stages
stages[native]="quorvane_unit_tests:tests/unit/quorvane_unit_tests:*
quorvane_e2e_tests:tests/e2e/quorvane_e2e_tests:*
generator_tests:tests/generator/generator_tests:*"
stages[win]="quorvane_lookup_tests:tests/e2e/quorvane_lookup_tests:DirectoryLookupTest.*
quorvane_lookup_tests:tests/e2e/quorvane_lookup_tests:DirectoryLookupProcessTest.*
quorvane_e2e_tests:tests/e2e/quorvane_e2e_tests:EndToEndTest.CountsTheMailboxesOfThisServer:EndToEndTest.LibraryThatCannotBeBound:EndToEndTest.UsageAndCommandLineErrorsNeverLoadTheLibrary:MissingEntryPoint.*"
stages[asan]="quorvane_unit_tests:tests/unit/quorvane_unit_tests:*
quorvane_e2e_tests:tests/e2e/quorvane_e2e_tests:*"

build() {  # build target...
  local b=$1
  shift
  cmake --build "$root/build/$b" --target "$@" >"$work/last-build.log" 2>&1
}

# Every target of a build's stages.
all_targets() {  # build
  cut -d: -f1 <<<"${stages[$1]}" | sort -u
}

# Tells how the mutant fared: "caught by X" or "survived".
verdict() {  # build
  local stage target program filter
  while IFS=: read -r target program filter; do
    if ! build "$1" "$target"; then
      # A shape the tests check at compile time is a catch; any other
      # refusal means the mutant plants nothing.
      if grep -q "static assertion failed" "$work/last-build.log"; then
        echo "caught by a compile-time check"
      else
        echo "refused by the compiler"
      fi
      return
    fi
    run_tests "$1" "$program" "$filter"
    case $? in
      0) ;;
      124 | 137) echo "caught by $(basename "$program") (hung)"; return ;;
      *) echo "caught by $(basename "$program")"; return ;;
    esac
  done <<<"${stages[$1]}"
  echo "survived"
}

selected() { grep -v '^\s*\(#\|$\)' "$list" | grep -F -- "$pattern"; }

# A persistent wineserver for the whole run when a Windows mutant is
# selected; one the run starts itself it stops again at the end.
if selected | grep -q '^win '; then
  start_wineserver
  if [[ "$(trap -p EXIT)" == *stop_wineserver* ]]; then
    trap 'restore; stop_wineserver' EXIT
  else
    trap restore EXIT
  fi
  wine_started=1
fi

passed=0 failed=0 used_builds=()
start=$(date +%s)

# Every build the list uses must pass its tests unmutated first, or nothing
# the stage says means anything.
for b in $(selected | awk '{print $1}' | sort -u); do
  if [ -z "${stages[$b]:-}" ]; then echo "mutate: unknown build '$b'" >&2; exit 2; fi
  if [ ! -f "$root/build/$b/build.ninja" ]; then "$root/scripts/build.sh" "$b" >/dev/null || exit 1; fi
  if [ "$(verdict "$b")" != survived ]; then
    echo "mutate: the unmutated $b build fails its tests:" >&2
    tail -n 30 "$work/last-build.log" "$work/last-test.log" >&2
    exit 1
  fi
  used_builds+=("$b")
done

while IFS= read -r entry; do
  case "$entry" in '' | '#'*) continue ;; esac
  [ -n "$pattern" ] && [[ "$entry" != *"$pattern"* ]] && continue
  # build file `text` `replacement` [equivalent: reason]
  if ! fields=$(perl -ne 'if (/^(\S+)\s+(\S+)\s+`([^`]*)`\s+`([^`]*)`\s*(?:equivalent:\s*(.*))?$/) {
        print join("\x1f", $1, $2, $3, $4, $5 // ""); exit 0 } exit 1' <<<"$entry"); then
    echo "BAD LINE   $entry"
    failed=$((failed + 1))
    continue
  fi
  IFS=$'\x1f' read -r b file text replacement equivalent <<<"$fields"
  where="$file:$(line_of "$file" "$text")"
  label="$b $where \`$text\` -> \`$replacement\`"
  # An equivalent mutant is listed with its reason and not run: a test that
  # failed by chance would only make it look caught.
  if [ -n "$equivalent" ]; then
    echo "equivalent $label: $equivalent"
    passed=$((passed + 1))
    continue
  fi
  cp "$sources/$file" "$work/$file.orig"
  if ! apply "$file" "$text" "$replacement" 2>"$work/last-apply.log"; then
    restore
    echo "NOT FOUND  $label ($(cat "$work/last-apply.log"))"
    failed=$((failed + 1))
    continue
  fi
  began=$(date +%s)
  result=$(verdict "$b")
  restore
  label="$label ($(($(date +%s) - began)) s)"
  if [ -n "$equivalent" ]; then
    if [ "$result" = survived ]; then
      echo "equivalent $label: $equivalent"
      passed=$((passed + 1))
    else
      echo "NOT EQUIV. $label: $result, yet listed as equivalent"
      failed=$((failed + 1))
    fi
  elif [ "$result" = survived ]; then
    echo "SURVIVED   $label"
    failed=$((failed + 1))
  elif [ "$result" = "refused by the compiler" ]; then
    # A fault that does not build tests nothing: the list must plant one that does.
    echo "NO BUILD   $label"
    failed=$((failed + 1))
  else
    echo "caught     $label: $result"
    passed=$((passed + 1))
  fi
done <"$list"

# The builds are left as the unmutated sources make them.
cp "$work/last-build.log" "$work/last-mutant-build.log" 2>/dev/null
for b in "${used_builds[@]}"; do
  # shellcheck disable=SC2046
  build "$b" $(all_targets "$b") || failed=$((failed + 1))
done
echo "mutation stage: $(($(date +%s) - start)) s"
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]

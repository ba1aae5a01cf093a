#!/usr/bin/env bash
# The mutation stage: plants each fault of tests/mutation/mutants.txt in the
# tool's sources, one at a time, rebuilds, and runs the tests of the build the
# line names. A mutant the tests catch (a failing test, a crash, a hang of
# more than 30 s, a compile-time check) passes; one that survives fails the
# stage, and so does one the compiler refuses, since it tests nothing. An
# equivalent mutant, listed with the reason no test can catch it, is not run.
#
# It never touches the checkout: each build mutates a copy of its own,
# build/mutation/<build>/ with its trees in build/mutation/<build>/build/,
# brought up to date with the checkout at the start of every run, so a run
# killed outright leaves a fault in that copy at most. The native mutants run
# in an asan tree, the sanitizers catching what a plain build may not, beside
# the Windows mutants under Wine.
#
# Results: build/mutation/results.xml (JUnit: a test case per mutant, an
# equivalent one skipped with its reason), and a line per mutant here.
#   scripts/mutate.sh [PATTERN]   only the mutants whose line contains PATTERN
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
list="$root/tests/mutation/mutants.txt"
work="$root/build/mutation"
pattern="${1:-}"
mkdir -p "$work"
exec 9>"$work/lock"
if ! flock -n 9; then echo "mutate: another run is in progress" >&2; exit 2; fi
rm -f "$work/results.xml" "$work"/*.results

# Each build's preset, and its test programs in the order they run.
declare -A preset=([native]=asan [win]=win)
declare -A programs=(
  [native]="quorvane_unit_tests quorvane_e2e_tests generator_tests"
  [win]="quorvane_unit_tests quorvane_lookup_tests quorvane_e2e_tests")

selected() { grep -v '^\s*\(#\|$\)' "$list" | grep -F -- "$pattern"; }

# Applies a mutant: the text must occur exactly once. A pilcrow is a line end.
apply() {  # file text replacement
  FROM="${2//¶/$'\n'}" TO="${3//¶/$'\n'}" perl -0777 -i -pe '
    my $n = () = /\Q$ENV{FROM}\E/g;
    if ($n != 1) { print STDERR "found $n times"; exit 3 }
    s/\Q$ENV{FROM}\E/$ENV{TO}/;' "$1"
}
line_of() {  # file text
  FROM="${2//¶/$'\n'}" perl -0777 -ne 'if (/\Q$ENV{FROM}\E/) { print 1 + (substr($_, 0, $-[0]) =~ tr/\n//) }' "$1"
}

# Builds and runs each test program in turn, each built only when those
# before it passed, and stops at the first failing test. Prints "caught by
# X", "caught by a compile-time check", "refused by the compiler" or
# "survived".
verdict() {  # build tree
  local b=$1 tree=$2 program runner=()
  [ "$b" = win ] && runner=(/usr/lib/wine/wine64)
  for program in ${programs[$b]}; do
    if ! cmake --build "$tree" --target "$program" >"$work/$b.build.log" 2>&1; then
      if grep -q "static assertion failed" "$work/$b.build.log"; then
        echo "caught by a compile-time check"
      else
        echo "refused by the compiler"
      fi
      return
    fi
    [ "$b" = win ] && program="$program.exe"
    (cd "$tree" && timeout -k 5 30 "${runner[@]}" "$tree/bin/$program" --gtest_fail_fast \
      --gtest_brief=1 >"$work/$b.test.log" 2>&1)
    case $? in
      0) ;;
      124 | 137) echo "caught by $program (hung)"; return ;;
      *) echo "caught by $program"; return ;;
    esac
  done
  echo "survived"
}

# One build's mutants in its copy: a line per mutant, "result<TAB>label<TAB>
# detail", in $work/<build>.results.
run_build() {  # build
  local b=$1 copy="$work/$1" file
  local tree="$copy/build/${preset[$b]}" results="$work/$1.results" sources="$copy/src/apps/Quorvane"
  # Only the files whose bytes differ are copied, so only they are rebuilt.
  (cd "$root" && git ls-files --cached --others --exclude-standard) | while IFS= read -r file; do
    if [ -f "$root/$file" ] && ! cmp -s "$root/$file" "$copy/$file"; then
      mkdir -p "$(dirname "$copy/$file")" && cp "$root/$file" "$copy/$file"
    fi
  done
  if [ "$b" = win ]; then
    # shellcheck source=wine-prefix.sh
    . "$root/scripts/wine-prefix.sh"
    start_wineserver "$tree/wineprefix" >/dev/null
    # The registry cases may change the keys of this tree's prefix.
    export QUORVANE_REGISTRY_TESTS=$tree/wineprefix
  fi
  if ! (cd "$copy" && cmake --preset "${preset[$b]}" >"$work/$b.log" 2>&1) ||
    [ "$(verdict "$b" "$tree" 2>/dev/null)" != survived ]; then
    printf 'failed\tthe unmutated %s build\tit does not build, or its tests fail: see %s.*.log\n' \
      "$b" "$work/$b" >"$results"
    return
  fi
  local entry text replacement equivalent label began result
  while IFS= read -r entry; do
    # build file `text` `replacement` [equivalent: reason]
    IFS=$'\x1f' read -r _ file text replacement equivalent < <(perl -ne '
      print join("\x1f", $1, $2, $3, $4, $5 // "") if
      /^(\S+)\s+(\S+)\s+`([^`]*)`\s+`([^`]*)`\s*(?:equivalent:\s*(.*))?$/' <<<"$entry")
    if [ -z "$file" ]; then
      printf 'failed\t%s\ta line that does not parse\n' "$entry"
      continue
    fi
    label="$b $file:$(line_of "$sources/$file" "$text") \`$text\` -> \`$replacement\`"
    if [ -n "$equivalent" ]; then
      printf 'skipped\t%s\tequivalent: %s\n' "$label" "$equivalent"
      continue
    fi
    cp "$sources/$file" "$work/$b.orig"
    if ! apply "$sources/$file" "$text" "$replacement" 2>"$work/$b.apply.log"; then
      printf 'failed\t%s\tits text is %s in the source\n' "$label" "$(cat "$work/$b.apply.log")"
      continue
    fi
    began=$SECONDS
    result=$(verdict "$b" "$tree" 2>/dev/null)
    cp "$work/$b.orig" "$sources/$file"
    case $result in
      survived) printf 'failed\t%s\tsurvived\n' "$label" ;;
      "refused by the compiler") printf 'failed\t%s\tdoes not build, so it tests nothing\n' "$label" ;;
      *) printf 'passed\t%s\t%s (%s s)\n' "$label" "$result" "$((SECONDS - began))" ;;
    esac
  done < <(selected | grep "^$b ") >"$results"
  # The tree is left as the unmutated sources make it.
  for file in ${programs[$b]}; do
    cmake --build "$tree" --target "$file" >"$work/$b.last-build.log" 2>&1 ||
      printf 'failed\tthe %s tree rebuilt unmutated\tsee %s\n' "$b" "$work/$b.last-build.log" >>"$results"
  done
}

start=$SECONDS
builds=$(selected | awk '{print $1}' | sort -u)
for b in $builds; do
  if [ -z "${preset[$b]:-}" ]; then echo "mutate: unknown build '$b'" >&2; exit 2; fi
done
# Each build in a process of its own, side by side; the Windows one's
# wineserver is stopped when it ends.
for b in $builds; do (run_build "$b") & done
wait

xml() { sed -e 's/&/\&amp;/g' -e 's/</\&lt;/g' -e 's/>/\&gt;/g' -e 's/"/\&quot;/g' <<<"$1"; }
{
  echo '<?xml version="1.0" encoding="UTF-8"?>'
  echo '<testsuite name="mutation">'
  for b in $builds; do
    while IFS=$'\t' read -r result label detail; do
      printf '  <testcase classname="mutation" name="%s">' "$(xml "$label")"
      case $result in
        passed) printf '<system-out>%s</system-out>' "$(xml "$detail")" ;;
        skipped) printf '<skipped message="%s"/>' "$(xml "$detail")" ;;
        *) printf '<failure message="%s"/>' "$(xml "$detail")" ;;
      esac
      echo '</testcase>'
      printf '%-8s %s: %s\n' "$result" "$label" "$detail" >&3
    done <"$work/$b.results"
  done
  echo '</testsuite>'
} 3>&1 >"$work/results.xml"
echo "mutation stage: $((SECONDS - start)) s"
! grep -q '<failure' "$work/results.xml"

#!/usr/bin/env bash
# The mutation stage: plants each fault of tests/mutation/mutants.txt in the
# tool's sources, one at a time, rebuilds, and runs the tests of the build the
# line names. A fault caught (a failing test, a crash, a hang of more than
# 90 s, a compile-time check) passes; one that survives, or that the compiler
# refuses, fails. An equivalent mutant, listed with its reason, is not run.
# Native mutants run in the native tree, one worker per core, the Windows ones
# in the win tree under Wine; each worker runs in a mount namespace of its own,
# where src/ and the tree are overlays over empty upper layers in
# build/mutation/, so the checkout and its trees are never written.
# Results: build/mutation/results.xml (JUnit), and a line per mutant here.
#   scripts/mutate.sh [PATTERN]   only the mutants whose line contains PATTERN
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
list="$root/tests/mutation/mutants.txt"
work="$root/build/mutation"
pattern="${1:-}"

# Each build's preset, and its test programs in the order they run.
declare -A preset=([native]=native [win]=win)
declare -A programs=(
  [native]="quorvane_unit_tests quorvane_e2e_tests generator_tests"
  [win]="quorvane_unit_tests quorvane_lookup_tests quorvane_e2e_tests")

# The mutants of the list, numbered by their place in it.
selected() { grep -v '^\s*\(#\|$\)' "$list" | grep -n -F -- "$pattern"; }

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
verdict() {  # build tree log
  local b=$1 tree=$2 log=$3 program runner=()
  [ "$b" = win ] && runner=("$root/scripts/wine-run")
  for program in ${programs[$b]}; do
    if ! ninja -C "$tree" "$program" >"$log.build" 2>&1; then
      grep -q "static assertion failed" "$log.build" && echo "caught by a compile-time check" ||
        echo "refused by the compiler"
      return
    fi
    [ "$b" = win ] && program="$program.exe"
    (cd "$tree" && timeout -k 5 90 "${runner[@]}" "$tree/bin/$program" --gtest_fail_fast \
      --gtest_brief=1 >"$log.test" 2>&1)
    case $? in
      0) ;;
      124 | 137) echo "caught by $program (hung)"; return ;;
      *) echo "caught by $program"; return ;;
    esac
  done
  echo "survived"
}

# The overlays on src/ and the build tree mounted anew over empty upper
# layers: the checkout's sources and objects, nothing of the last mutant (a
# process still in the last overlays keeps them, detached).
fresh() {
  local dir
  for dir in src "build/${preset[$b]}"; do
    umount --lazy "$root/$dir" 2>/dev/null
    rm -rf "${w:?}/upper/$dir" "$w/scratch/$dir" && mkdir -p "$w/upper/$dir" "$w/scratch/$dir" &&
      mount -t overlay overlay -o "lowerdir=$root/$dir,upperdir=$w/upper/$dir,workdir=$w/scratch/$dir" \
        "$root/$dir" || return 1
  done
}

# The next mutant of the build's queue, taken by one worker only; nothing
# once all are taken.
take() {
  flock "$work/$b.queue" bash -c 'n=$(cat "$1" 2>/dev/null || echo 0) && echo $((n + 1)) >"$1" &&
    sed -n "$((n + 1))p" "$2"' _ "$work/$b.taken" "$work/$b.queue"
}

# One worker, inside a mount namespace of its own, takes mutants of its
# build's queue until none is left. A line per mutant, "index<TAB>result
# <TAB>label<TAB>detail", in $work/<build>.<K>.results.
worker() {  # build K
  local b=$1 k=$2 w="$work/$1.$2"
  local tree="$root/build/${preset[$b]}" sources="$root/src/apps/Quorvane"
  if [ "$b" = win ]; then
    # shellcheck source=wine-prefix.sh
    . "$root/scripts/wine-prefix.sh"
    start_wineserver "$w/prefix" >/dev/null  # outside the overlays
    export QUORVANE_REGISTRY_TESTS=$w/prefix
  fi
  if [ "$k" = 0 ] && ! { fresh && [ "$(verdict "$b" "$tree" "$w/log" 2>/dev/null)" = survived ]; }; then
    printf '0\tfailed\tthe unmutated %s build\tits tests fail: see %s/log.*\n' "$b" "$w"
    return
  fi
  local index entry file text replacement equivalent label began result
  while IFS=: read -r index entry < <(take) && [ -n "$index" ]; do
    # build file `text` `replacement` [equivalent: reason]
    IFS=$'\x1f' read -r _ file text replacement equivalent < <(perl -ne '
      print join("\x1f", $1, $2, $3, $4, $5 // "") if
      /^(\S+)\s+(\S+)\s+`([^`]*)`\s+`([^`]*)`\s*(?:equivalent:\s*(.*))?$/' <<<"$entry")
    if [ -z "$file" ]; then
      printf '%s\tfailed\t%s\ta line that does not parse\n' "$index" "$entry"
      continue
    fi
    label="$b $file:$(line_of "$sources/$file" "$text") \`$text\` -> \`$replacement\`"
    if [ -n "$equivalent" ]; then
      printf '%s\tskipped\t%s\tequivalent: %s\n' "$index" "$label" "$equivalent"
      continue
    fi
    if ! fresh || ! stamp=$(stat -c %y "$sources/$file") ||
      ! apply "$sources/$file" "$text" "$replacement" 2>"$w/apply.log"; then
      printf '%s\tfailed\t%s\tnot planted: no overlay, or its text %s\n' "$index" "$label" "$(cat "$w/apply.log")"
      continue
    fi
    # A header's fault goes into the tool's objects only (the tests keep
    # theirs, as a library is built apart from its callers); everything is
    # rebuilt from it only when the tests then no longer link.
    [[ $file != *.h ]] || { touch -d "$stamp" "$sources/$file" && touch "$sources"/*.cpp; }
    began=$SECONDS
    result=$(verdict "$b" "$tree" "$w/log" 2>/dev/null)
    if [[ $file == *.h && $result == "refused by the compiler" ]]; then
      touch "$sources/$file" && result=$(verdict "$b" "$tree" "$w/log" 2>/dev/null)
    fi
    case $result in
      survived) printf '%s\tfailed\t%s\tsurvived\n' "$index" "$label" ;;
      "refused by the compiler") printf '%s\tfailed\t%s\tdoes not build, so it tests nothing\n' "$index" "$label" ;;
      *) printf '%s\tpassed\t%s\t%s (%s s)\n' "$index" "$label" "$result" "$((SECONDS - began))" ;;
    esac
  done
}
# A worker runs only in a mount namespace other than its parent's.
if [ -n "${QUORVANE_MUTATION_WORKER:-}" ]; then
  read -r b k parent <<<"$QUORVANE_MUTATION_WORKER"
  [ "$(readlink /proc/self/ns/mnt)" != "$parent" ] || exit 2
  worker "$b" "$k" >"$work/$b.$k.results"
  exit
fi

mkdir -p "$work"
exec 9>"$work/lock"
if ! flock -n 9; then echo "mutate: another run is in progress" >&2; exit 2; fi
start=$SECONDS
builds=$(selected | cut -d: -f2- | awk '{print $1}' | sort -u)
for b in $builds; do [ -n "${preset[$b]:-}" ] || { echo "mutate: unknown build '$b'" >&2; exit 2; }; done
# A Wine server that a run killed outright left running goes before its prefix.
for prefix in "$work"/win.*/prefix; do [ ! -d "$prefix" ] || WINEPREFIX=$prefix /usr/lib/wine/wineserver -k 2>/dev/null; done
rm -rf "$work"/*.[0-9]* "$work"/*.results "$work"/*.queue "$work"/*.taken "$work/results.xml"
# The checkout's trees, up to date: the workers' overlays must not see them change.
for b in $builds; do
  tree=$root/build/${preset[$b]}
  { [ -f "$tree/CMakeCache.txt" ] || cmake --preset "${preset[$b]}"; } >"$work/$b.configure.log" 2>&1 &&
    cmake --build "$tree" >"$work/$b.build.log" 2>&1 ||
    { echo "mutate: the $b tree does not build: see $work/$b.*.log" >&2; exit 1; }
done
namespace=(unshare --mount)
[ "$(id -u)" -eq 0 ] || namespace=(unshare --user --map-root-user --mount)
for b in $builds; do
  # The headers' mutants first: each rebuilds much, and the workers end
  # together when the short ones come last.
  selected | grep -P "^\d+:$b " | awk '{print ($2 ~ /\.h$/ ? 0 : 1) "\t" $0}' | sort -s -n -k1,1 |
    cut -f2- >"$work/$b.queue"
  n=1 && [ "$b" = win ] || n=$(nproc)
  for ((k = 0; k < n; k++)); do
    QUORVANE_MUTATION_WORKER="$b $k $(readlink /proc/self/ns/mnt)" "${namespace[@]}" "$0" "$pattern" &
  done
done
wait

xml() { sed -e 's/&/\&amp;/g' -e 's/</\&lt;/g' -e 's/>/\&gt;/g' -e 's/"/\&quot;/g' <<<"$1"; }
{
  echo '<?xml version="1.0" encoding="UTF-8"?>'
  echo '<testsuite name="mutation">'
  while IFS=$'\t' read -r _ result label detail; do
    printf '  <testcase classname="mutation" name="%s">' "$(xml "$label")"
    case $result in
      passed) printf '<system-out>%s</system-out>' "$(xml "$detail")" ;;
      skipped) printf '<skipped message="%s"/>' "$(xml "$detail")" ;;
      *) printf '<failure message="%s"/>' "$(xml "$detail")" ;;
    esac
    echo '</testcase>'
    printf '%-8s %s: %s\n' "$result" "$label" "$detail" >&3
  done < <(sort -n -s -k1,1 "$work"/*.results)
  # A worker that never reported leaves its mutants untried.
  missing=$(($(selected | wc -l) - $(cut -f1 "$work"/*.results | grep -c -v '^0$')))
  [ "$missing" -eq 0 ] || printf '  <testcase classname="mutation" name="every mutant tried">%s</testcase>\n' \
    "<failure message=\"$missing not reported: see $work\"/>"
  echo '</testsuite>'
} 3>&1 >"$work/results.xml"
echo "mutation stage: $((SECONDS - start)) s"
! grep -q '<failure' "$work/results.xml"

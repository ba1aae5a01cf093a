#!/usr/bin/env bash
# Benchmarks of the census and of the tool on generated directories; one
# command per figure, each building what it needs in build/bench (natively)
# or build/bench-win (Windows, run under Wine), and generating its data into
# build/bench/data. Nothing here is a test: the figures are printed, not
# checked against the targets (docs/performance.md records them).
#
#   scripts/bench.sh census     ns per note: census vs the floor of bare library calls
#   scripts/bench.sh callgrind  instructions per note: the census (count, /check, /servers) vs the floor
#   scripts/bench.sh memory     the native tool's peak memory and a walk's heap, 10^3..10^6 notes
#   scripts/bench.sh wine       Quorvane.exe under Wine on 10^6 notes: time and memory
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bench=$root/build/bench
benchwin=$root/build/bench-win
data=$bench/data
seed=1

usage() { sed -n '2,12p' "$0" | sed 's/^# \{0,1\}//'; exit 2; }

build_native() {
  "$root/scripts/setup.sh"
  if [ ! -f "$bench/build.ninja" ]; then (cd "$root" && cmake --preset bench >/dev/null); fi
  cmake --build "$bench" --target "$@" >/dev/null
}

build_windows() {
  if [ ! -f "$benchwin/build.ninja" ]; then (cd "$root" && cmake --preset bench-win >/dev/null); fi
  (cd "$root" && cmake --build --preset bench-win >/dev/null)
}

# generate N: the directory of N notes in data/notes-N (kept between runs
# while the generator is unchanged), and a twin data/notes-N-loaded whose
# notes.ini serves the same file but fails the view lookup, so that a run
# there stops right after the stand-in has loaded the directory.
generate() {
  local notes=$1 directory=$data/notes-$1
  if [ ! -f "$directory.txt" ] || [ "$bench/bin/generate_directory" -nt "$directory.txt" ]; then
    "$bench/bin/generate_directory" "$seed" "$notes" "$directory" >"$directory.txt.new"
    mv "$directory.txt.new" "$directory.txt"
  fi
  mkdir -p "$directory-loaded"
  {
    echo "Directory=../notes-$notes"
    grep '^MailServer=' "$directory/notes.ini"
    echo "StandInFault_NIFFindDesignNoteExt=status=0x0104"
  } >"$directory-loaded/notes.ini"
}

expected() { awk -F': ' '/^expected mailbox count/ {print $2}' "$data/notes-$1.txt"; }
file_kib() { echo $(($(stat -c %s "$data/notes-$1/names.nsf") / 1024)); }
field() { sed -n "s/.*$1=\([^ ]*\).*/\1/p" <<<"$2"; }

# counted OUTPUT: the count the tool printed.
counted() { tr -d '\r' <"$1" | sed -n 's/^Mailbox count: //p'; }
# check WHAT GOT WANT: ends the run when a count is not the generator's.
check() { [ "$2" = "$3" ] || { echo "bench: $1 counted $2, expected $3" >&2; exit 1; }; }

census() {
  build_native census_benchmark
  local out
  # Five repetitions, their median: the machine may be shared.
  out=$("$bench/bin/census_benchmark" --benchmark_repetitions=5 \
    --benchmark_report_aggregates_only=true 2>&1 | tee /dev/stderr)
  local floor census
  median_ns() { awk "/^BM_$1.*_median/"' {sub(/.*per_note=/, ""); sub(/ns.*/, ""); print}' <<<"$out"; }
  floor=$(median_ns Floor)
  census=$(median_ns Census)
  echo
  printf 'median CPU time per note over 10^6 notes:\n'
  printf 'floor:  %6.1f ns per note\ncensus: %6.1f ns per note\nthe census own work: %.1f ns per note\n' \
    "$floor" "$census" "$(awk -v a="$census" -v b="$floor" 'BEGIN {print a - b}')"
}

callgrind() {
  build_native census_instructions
  local notes=1000000 out=$bench/callgrind
  mkdir -p "$out"
  declare -A ir
  for walk in floor census check servers; do
    valgrind --tool=callgrind --toggle-collect=MeasuredWalk \
      --callgrind-out-file="$out/$walk.out" "$bench/bin/census_instructions" "$walk" "$notes" \
      >/dev/null 2>"$out/$walk.log"
    ir[$walk]=$(awk '/^summary:/ {print $2}' "$out/$walk.out")
  done
  echo "instructions over $notes notes, per note; own work: beyond the floor"
  for walk in floor census check servers; do
    awk -v w="$walk" -v i="${ir[$walk]}" -v f="${ir[floor]}" -v n="$notes" \
      'BEGIN { printf "%-8s %11d  %6.1f per note  own work %6.1f\n", w, i, i / n, (i - f) / n }'
  done
  echo "target for the census of a plain count: own work at most 110"
  echo "profiles: callgrind_annotate $out/census.out"
}

# median VALUES...: the middle one of an odd count; least VALUES...: the least.
median() { printf '%s\n' "$@" | sort -n | sed -n "$((($# + 1) / 2))p"; }
least() { printf '%s\n' "$@" | sort -n | head -1; }

# measured OUTPUT PROGRAM [ARGUMENTS...]: runs the program with its standard
# output to OUTPUT, its standard error dropped, and prints "wall_ms=<ms>
# cpu_ms=<user + system> peak_rss_kib=<KiB>": the wall time by the shell's
# clock, CPU time and peak resident set as GNU time has them from the kernel
# (wait4), CPU time in steps of 10 ms. CPU time is given too because on a
# shared machine the wall time includes waiting for a processor.
measured() {
  local output=$1 start end usage
  shift
  rm -f "$bench/measured.time"
  start=$EPOCHREALTIME
  /usr/bin/time -f '%U %S %M' -o "$bench/measured.time" "$@" >"$output" 2>/dev/null || true
  end=$EPOCHREALTIME
  usage=$(tail -n 1 "$bench/measured.time")  # after "Command exited with non-zero status"
  awk -v s="$start" -v e="$end" -v u="$usage" 'BEGIN { split(u, f, " ")
    printf "wall_ms=%.1f cpu_ms=%.1f peak_rss_kib=%d\n", (e - s) * 1000, (f[1] + f[2]) * 1000, f[3] }'
}

# peak_rss DIRECTORY OUTPUT: the native tool's peak RSS in KiB (median of 3
# runs), counting in DIRECTORY with standard output to OUTPUT.
peak_rss() {
  local peaks=() line
  for _ in 1 2 3; do
    line=$(cd "$1" && LD_LIBRARY_PATH="$bench/standin" measured "$2" "$bench/bin/Quorvane")
    peaks+=("$(field peak_rss_kib "$line")")
  done
  median "${peaks[@]}"
}

memory() {
  build_native Quorvane nnotes generate_directory census_memory
  mkdir -p "$data"
  local sizes=(0 1000 100000 1000000) notes
  for notes in "${sizes[@]}"; do generate "$notes"; done

  echo "The native tool, whole process: peak resident set (VmHWM) in KiB, median of 3 runs"
  printf '%9s %13s %12s %12s %14s %12s\n' notes names.nsf_KiB loaded_only count \
    standin_data count-loaded
  local base=""
  for notes in "${sizes[@]}"; do
    local loaded full
    loaded=$(peak_rss "$data/notes-$notes-loaded" /dev/null)
    full=$(peak_rss "$data/notes-$notes" "$data/count-$notes.out")
    check "the tool" "$(counted "$data/count-$notes.out")" "$(expected "$notes")"
    [ -n "$base" ] || base=$loaded
    printf '%9s %13s %12s %12s %14s %12s\n' "$notes" "$(file_kib "$notes")" "$loaded" "$full" \
      $((loaded - base)) $((full - loaded))
  done
  cat <<'EXPLAIN'
  loaded_only: a run stopped right after the stand-in loaded names.nsf
  (StandInFault_NIFFindDesignNoteExt=status=0x0104); count: the full count;
  standin_data: loaded_only minus that of the empty directory. The kernel reads
  resident-set counters per CPU and approximately, so differences below a few
  hundred KiB are noise here; the heap figures below are exact.

EXPLAIN

  echo "The walk of \"Mail Users\" after the load, in-process: heap peak above the loaded directory, bytes"
  printf '%9s %16s %16s %12s %16s\n' notes census standin_calls tool_share tool_growth
  local first=""
  for notes in "${sizes[@]}"; do
    [ "$notes" -gt 0 ] || continue
    local census calls
    census=$("$bench/bin/census_memory" census "$data/notes-$notes")
    calls=$("$bench/bin/census_memory" calls "$data/notes-$notes")
    check census_memory "$(field counted "$census")" "$(expected "$notes")"
    local c k
    c=$(field walk_heap_peak_bytes "$census")
    k=$(field walk_heap_peak_bytes "$calls")
    [ -n "$first" ] || first=$((c - k))
    printf '%9s %16s %16s %12s %16s\n' "$notes" "$c" "$k" $((c - k)) $((c - k - first))
  done
  cat <<'EXPLAIN'
  census: CountMailboxes; standin_calls: the same stand-in calls for every note
  and nothing else; tool_share: the difference; tool_growth: tool_share minus
  that at 1000 notes (target: at most 65536 bytes).
EXPLAIN
}

wine() {
  build_native generate_directory
  build_windows
  mkdir -p "$data"
  local notes=1000000
  generate 0
  generate "$notes"
  # shellcheck source=wine-prefix.sh
  . "$root/scripts/wine-prefix.sh"
  start_wineserver "$benchwin/wineprefix"
  local standin_dir="Z:${benchwin//\//\\}\\standin"
  # The tool finds nnotes.dll through the installation key when it reads one,
  # else along PATH.
  "$wine" reg add 'HKLM\SOFTWARE\Lotus\Domino' /v Path /d "$standin_dir" /f >/dev/null 2>&1
  export WINEPATH="$standin_dir"
  local exe=$benchwin/bin/Quorvane.exe runs=5
  winpath() { echo "Z:${1//\//\\}"; }

  # run LABEL OUTPUT DIRECTORY [OPTIONS...]: wall and CPU time of $runs runs
  # (least and median), and the peak resident set.
  run() {
    local label=$1 output=$2 directory=$3
    shift 3
    local walls=() cpus=() line peak=0
    for ((i = 0; i < runs; i++)); do
      line=$(measured "$output" "$wine" "$exe" /path "$(winpath "$directory")" "$@")
      walls+=("$(field wall_ms "$line")")
      cpus+=("$(field cpu_ms "$line")")
      peak=$(field peak_rss_kib "$line")
    done
    printf '%-32s %9s %9s %9s %9s %11s\n' "$label" "$(least "${walls[@]}")" "$(median "${walls[@]}")" \
      "$(least "${cpus[@]}")" "$(median "${cpus[@]}")" "$peak"
  }
  echo "Quorvane.exe under Wine, $runs runs each: times in ms (least and median), peak RSS in KiB"
  printf '%-32s %9s %9s %9s %9s %11s\n' "" wall_min wall_med cpu_min cpu_med peak_rss
  run "start-up (empty directory)" "$data/wine-empty.out" "$data/notes-0"
  run "load only, 10^6 notes" "$data/wine-loaded.out" "$data/notes-$notes-loaded"
  run "count, 10^6 notes" "$data/wine-count.out" "$data/notes-$notes"
  run "/details to a file, 10^6 notes" "$data/wine-details.out" "$data/notes-$notes" /details
  local want listed
  want=$(expected "$notes")
  listed=$(tr -d '\r' <"$data/wine-details.out" |
    grep -vc -e '^$' -e '^Mailboxes:$' -e '^Mailbox count: ' || true)
  echo "count printed: $(counted "$data/wine-count.out") (expected $want);" \
    "/details: $listed mailbox lines, $(($(stat -c %s "$data/wine-details.out") / 1024)) KiB"
  check "the tool under Wine" "$(counted "$data/wine-count.out")" "$want"
  check "/details under Wine" "$listed" "$want"
}

[ "$#" -eq 1 ] || usage
case "$1" in
  census | callgrind | memory | wine) "$1" ;;
  *) usage ;;
esac

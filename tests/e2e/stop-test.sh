#!/usr/bin/env bash
# A run stopped as a console's Ctrl+C stops it: SIGINT, which Wine hands to
# the program's console handler as CTRL_C_EVENT. The stand-in walks slowly;
# at the stop the tool must release every handle in the census's order, end
# the runtime, print no count and no table, say so on standard error, and
# end with status 1. The stand-in's call log and leak report are the record.
#   tests/e2e/stop-test.sh TOOL STANDIN_LIBRARY [WINE]
set -uo pipefail
tool=$1 library=$2 wine=${3:-}
work=$(mktemp -d) && trap 'rm -rf "$work"' EXIT
# The program finds the library in its own folder (natively, through
# LD_LIBRARY_PATH).
cp "$tool" "$library" "$work/"
export LD_LIBRARY_PATH=$work STANDIN_CALL_LOG=calls.txt
lookup="" && [ -z "$wine" ] || lookup="Error: unable to obtain domino dir."
failed=0
fail() { echo "FAILED $name: $*"; failed=1; }
released="NSFNoteClose OSUnlockObject OSMemFree NIFCloseCollection NSFDbClose NotesTerm"

# check NAME ARGUMENTS SETTING STOP_AT TAIL OUT: the run stopped once the
# call log shows STOP_AT; its call log ends with TAIL, its standard output
# (line ends as LF) matches the pattern OUT whole.
check() {
  name=$1
  local dir="$work/$1" status
  mkdir -p "$dir" && cd "$dir" || return
  printf 'MailServer=CN=Alpha/O=Acme\nStandInLeakReport=leaks.txt\nStandInBatchSize=50\n%s\n' "$3" >notes.ini
  { echo "view Mail Users"; for i in $(seq 0 199); do printf 'note\nMailServer: CN=Alpha/O=Acme\nMailFile: mail\\u%s.nsf\n' "$i"; done; } >names.nsf
  set -m  # its own process group, where SIGINT is not ignored as in a background job
  $wine "$work/$(basename "$tool")" $2 >out.txt 2>err.txt &
  local pid=$!
  set +m
  for ((i = 0; i < 600; i++)); do grep -qx "$4" calls.txt 2>/dev/null && break; sleep 0.05; done
  kill -INT "$pid"
  wait "$pid"
  status=$?
  [ "$status" -eq 1 ] || fail "status $status"
  [ "$(tr -d '\r' <err.txt)" = "The run was stopped before the count was complete." ] || fail "standard error: $(cat err.txt)"
  [ -f leaks.txt ] && [ ! -s leaks.txt ] || fail "leak report: $(cat leaks.txt 2>&1)"
  [ "$(tail -n "$(wc -w <<<"$5")" calls.txt | tr '\n' ' ')" = "$5 " ] || fail "calls end: $(tail -n 8 calls.txt | tr '\n' ' ')"
  { tr -d '\r' <out.txt; echo END; } | grep -Pzq "\A${6}END\n\z" || fail "standard output: $(cat out.txt)"
}
error='Error: Unable to count mailboxes\.\n'
look="${lookup:+$lookup\\n}"
check walk "" "StandInSlowNotes=20" NSFNoteOpen "$released" "$look$error"
check listing "/names" "StandInSlowNotes=20" NSFNoteOpen "$released" \
  "$look\\nMailboxes:\\n\\n(mail\\\\u\\d+\\.nsf\\n)+$error"
check servers "/servers /check" "StandInSlowNotes=20" NSFNoteOpen "$released" \
  "$look${error}Check:\\n(  [^\\n]*\\n)+  Result: failed\\n"
check start "" "StandInSlowStart=3000" NotesInitExtended "NotesInitExtended NotesTerm" "$look"
exit "$failed"

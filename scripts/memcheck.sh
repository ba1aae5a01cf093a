#!/usr/bin/env bash
# Runs a program under valgrind's memcheck, as the end-to-end tests' wrapper
# (QUORVANE_E2E_WRAPPER=scripts/memcheck.sh): memcheck.sh PROGRAM [ARGUMENTS].
#
# The program's standard output and error stay its own, so the tests still
# compare them byte for byte; valgrind's report goes to a file of its own in
# $QUORVANE_MEMCHECK_LOGS, one per process. Any error, a leak of any kind
# included (even a block still reachable at exit), makes the run end with
# status 99, which no test expects. memcheck.supp says what is suppressed and
# why. Without --track-origins, which finds no more errors at a third more
# time: add it to see where an uninitialised value came from.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
logs=${QUORVANE_MEMCHECK_LOGS:?QUORVANE_MEMCHECK_LOGS must name the directory for the reports}
mkdir -p "$logs"
exec valgrind --tool=memcheck --error-exitcode=99 --leak-check=full --show-leak-kinds=all \
  --errors-for-leak-kinds=all --suppressions="$here/memcheck.supp" \
  --log-file="$logs/memcheck.%p.log" "$@"

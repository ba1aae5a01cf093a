# Sourced by the scripts that run the Windows build under Wine (wine-run).
# start_wineserver [PREFIX] pins WINEPREFIX to PREFIX (by default the Windows
# build tree's), prepares the prefix once and keeps a persistent wineserver
# (a process starts in tens of milliseconds, not seconds) until the caller exits.
export WINEDEBUG=-all
wine=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)/wine-run
wineserver=/usr/lib/wine/wineserver

stop_wineserver() { "$wineserver" -k >/dev/null 2>&1 || true; }

# prepare_prefix PREFIX: the prefix made, once; mostly waiting, so it may
# run beside other work.
prepare_prefix() {
  mkdir -p "$1"
  if [ ! -f "$1/system.reg" ]; then
    echo "wine: preparing the prefix $1 (once)"
    WINEPREFIX=$1 "$wine" wineboot -i >/dev/null 2>&1 || true
    WINEPREFIX=$1 "$wineserver" -w
  fi
}

start_wineserver() {
  export WINEPREFIX="${1:-$root/build/win/wineprefix}"
  prepare_prefix "$WINEPREFIX"
  # A server already running for this prefix is someone else's: it is used
  # and left running.
  if "$wineserver" -p >/dev/null 2>&1; then trap stop_wineserver EXIT; fi
  # Wine's own services start with the first program and live as long as the
  # server; started here, they hold no pipe of the caller's open.
  "$wine" wineboot >/dev/null 2>&1 || true
}

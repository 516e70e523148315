#!/usr/bin/env bash
# Runs a Windows program of the test build under Wine and passes its exit status through. The
# Windows build tree's ctest uses it as its emulator, the end-to-end tests call it directly.
#   wine-run.sh <prefix> <program> [arguments...]   run the program in the Wine prefix
#   wine-run.sh <prefix> --boot                     make the prefix afresh (once per test run)
#   wine-run.sh <prefix> --stop                     end the prefix's Wine processes
# A prefix that is missing is made on first use, so building (the tests' discovery) needs no
# --boot. The program runs on the X display it is given (DISPLAY), if any.
set -euo pipefail

prefix=$1
shift
export WINEPREFIX=$prefix WINEDEBUG=-all
# No Mono or Gecko installer dialogs, and no menu entries or file associations written into $HOME.
export WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe="

if ! command -v wine >/dev/null; then
  echo "wine-run.sh: Wine is not installed (scripts/install-deps.sh installs it)" >&2
  exit 127
fi

boot() {
  rm -rf "$prefix"
  local start=$EPOCHREALTIME
  # Registry and files are all written once the boot's processes and the server have ended.
  wineboot --init && wineserver --wait
  echo "wineboot took $(awk -v s="$start" -v e="$EPOCHREALTIME" 'BEGIN { printf "%.1f", e - s }') s"
}

# Wine's own services start with the first program of a server and live as long as the server;
# started by a test's program they would hold its output open, and ctest would wait for them.
start_services() { wine cmd /c exit 0 </dev/null >/dev/null 2>&1 9>&-; }

# Two programs started at once (ctest -j) must not both make the prefix.
mkdir -p "$(dirname "$prefix")"
exec 9>"$prefix.lock"
case ${1:-} in
  --boot)
    flock 9
    wineserver --kill 2>/dev/null || true
    boot
    # A server kept between the tests saves each program about 2 s of start-up. It ends with
    # --stop, or by itself 10 minutes after the last program.
    wineserver --persistent=600 </dev/null >/dev/null 2>&1 9>&-
    start_services
    ;;
  --stop)
    wineserver --kill 2>/dev/null || true
    ;;
  *)
    flock 9
    [[ -f "$prefix/system.reg" ]] || boot >&2
    flock --unlock 9
    exec 9>&-
    start_services
    exec wine "$@"
    ;;
esac

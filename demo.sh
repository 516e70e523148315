#!/usr/bin/env bash
# Installs what Kwastor needs, builds it, makes a fresh demo installation of Vondelux and runs
# the whole update on it: in the wizard when a display is available, otherwise with the two
# command-line modes. Run as root on Debian 12.
set -euo pipefail
cd "$(dirname "$0")"
top=$PWD

if [ "${KWASTOR_SKIP_DEPS:-0}" != 1 ]; then
  bash scripts/install-deps.sh
fi
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
ninja -C build kwastor make-test-installation kwastor-jet

# Vondelux is a Windows program; under Wine it lives in a prefix's Program Files, which is
# where the wizard looks for it.
demo=$top/demo
prefix=$demo/wine
install="$prefix/drive_c/Program Files/Merodaan"
rm -rf "$demo"
mkdir -p "$(dirname "$install")"
build/make-test-installation "$install"

cd "$demo" # the log is written to the current folder
status=0
if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
  echo "Opening the wizard on the demo installation..."
  WINEPREFIX=$prefix "$top/build/kwastor" || status=$?
else
  echo "No display: running both halves with the command-line modes."
  "$top/build/kwastor" bestanden "$install" || status=$?
  [ "$status" -ne 0 ] || "$top/build/kwastor" database "$install" || status=$?
fi
echo
echo "Installation: $install"
echo "Log:          $demo/Kwastor.log"
echo "Database:     an Access file; look inside with"
echo "  $top/build/kwastor-jet dump \"$install/picbase.pbd\" --password kolibrie"
echo "  $top/build/kwastor-jet check \"$install/picbase.pbd\" --password kolibrie"
echo "  mdb-export \"$install/picbase.pbd\" categorie"
exit "$status"

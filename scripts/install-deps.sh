#!/usr/bin/env bash
# Installs everything that building, running and testing Kwastor needs on Debian 12 (as root).
# Packages come without their recommendations, so a package that a tool only recommends but a
# test needs is named here too: fonts-urw-base35, without which libwmf's wmf2gd finds no font
# and draws no metafile (media_check). Every tool that the tests call was checked against its
# package with dpkg -S; mount (tmpfs in the tests) is essential but named all the same.
set -euo pipefail
export DEBIAN_FRONTEND=noninteractive

# Wine for the Windows edition's tests is 32-bit (kwastor.exe is a 32-bit program).
dpkg --add-architecture i386

# A mirror in the middle of a sync serves an index that doesn't match its Release file ("File has
# unexpected size ... Mirror sync in progress?") and apt-get update exits 100. Try again after a
# pause; a Release file kept from an earlier run can pin the mismatch, so the last try starts
# from empty lists. Then go on: an index that is still missing makes the install fail on its own.
update() {
  local try
  for try in 1 2 3 4; do
    ((try < 4)) || find /var/lib/apt/lists -maxdepth 1 -type f ! -name lock -delete
    apt-get update -q && return 0
    echo "apt-get update failed (try $try of 4)" >&2
    ((try == 4)) || sleep $((try * 10))
  done
  echo "apt-get update kept failing; installing from the indexes that did arrive" >&2
}
update

# The lock timeout waits for a package run that holds the lock instead of failing at once.
apt-get install -y -q --no-install-recommends -o DPkg::Lock::Timeout=600 \
  build-essential cmake ninja-build pkg-config clang libclang-rt-14-dev clang-format \
  qt6-base-dev qt6-base-dev-tools qt6-translations-l10n libgl-dev libxcb1-dev libxkbcommon-dev \
  libzip-dev zip unzip zipcmp zlib1g-dev \
  libsqlite3-dev sqlite3 unixodbc unixodbc-dev odbcinst libsqliteodbc \
  libgtest-dev libgmock-dev libbenchmark-dev \
  espeak-ng libespeak-ng-dev sox libsox-fmt-all file imagemagick libwmf-bin fonts-urw-base35 \
  xvfb xauth xdotool x11-utils fonts-wine fonts-dejavu-core \
  mdbtools time ca-certificates mount

# Wine runs the Windows edition's tests under Xvfb. Its message boxes and window draw with
# fonts-wine's Tahoma (installed above); wine-run.sh takes its lock with util-linux's flock.
apt-get install -y -q --no-install-recommends -o DPkg::Lock::Timeout=600 \
  wine wine32:i386 util-linux

# The Windows edition's cross build (scripts/build-windows.sh): the posix-threads mingw-w64
# compilers for 32-bit Windows, zlib for them, and GoogleTest's sources for its tests.
apt-get install -y -q --no-install-recommends -o DPkg::Lock::Timeout=600 \
  g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix libz-mingw-w64-dev googletest

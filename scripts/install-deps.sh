#!/usr/bin/env bash
# Installs everything that building, running and testing Kwastor needs on Debian 12 (as root).
# Packages come without their recommendations, so a package that a tool only recommends but a
# test needs is named here too: fonts-urw-base35, without which libwmf's wmf2gd finds no font
# and draws no metafile (media_check). Every tool that the tests call was checked against its
# package with dpkg -S; mount (tmpfs in the tests) is essential but named all the same.
set -euo pipefail
export DEBIAN_FRONTEND=noninteractive
apt-get update -q
apt-get install -y -q --no-install-recommends \
  build-essential cmake ninja-build pkg-config clang libclang-rt-14-dev clang-format \
  qt6-base-dev qt6-base-dev-tools qt6-translations-l10n libgl-dev libxcb1-dev libxkbcommon-dev \
  libzip-dev zip unzip zipcmp zlib1g-dev \
  libsqlite3-dev sqlite3 unixodbc unixodbc-dev odbcinst libsqliteodbc \
  libgtest-dev libgmock-dev libbenchmark-dev \
  espeak-ng libespeak-ng-dev sox libsox-fmt-all file imagemagick libwmf-bin fonts-urw-base35 \
  xvfb xauth xdotool x11-utils fonts-wine fonts-dejavu-core \
  mdbtools time ca-certificates mount
# The Windows edition's cross build (scripts/build-windows.sh): the posix-threads mingw-w64
# compilers for 32-bit Windows, zlib for them, and GoogleTest's sources for its tests.
apt-get install -y -q --no-install-recommends \
  g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix libz-mingw-w64-dev googletest

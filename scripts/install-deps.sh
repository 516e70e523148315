#!/usr/bin/env bash
# Installs everything that building, running and testing Kwastor needs on Debian 12 (as root).
set -euo pipefail
export DEBIAN_FRONTEND=noninteractive
apt-get update -q
apt-get install -y -q --no-install-recommends \
  build-essential cmake ninja-build pkg-config clang libclang-rt-14-dev clang-format \
  qt6-base-dev qt6-base-dev-tools libgl-dev libxcb1-dev libxkbcommon-dev \
  libzip-dev zip unzip zipcmp zlib1g-dev \
  libsqlite3-dev sqlite3 unixodbc unixodbc-dev odbcinst libsqliteodbc \
  libgtest-dev libgmock-dev libbenchmark-dev \
  espeak-ng libespeak-ng-dev sox libsox-fmt-all file imagemagick libwmf-bin \
  xvfb xauth xdotool x11-utils fonts-wine fonts-dejavu-core \
  mdbtools time ca-certificates

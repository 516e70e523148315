#!/usr/bin/env bash
# Builds a release tree and times the update's statements through the Access writer on
# picbase-V2000-full.pbd (every index the update's tables can have without refusing the update:
# the "text" variants hold a category name twice under a unique index) against SQLite running
# the same statements on the same rows and indexes. Medians of RUNS runs (default 5).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD:-$root/build-release}
runs=${RUNS:-5}
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DKWASTOR_BENCH=ON >/dev/null
ninja -C "$build" jet-update-bench >/dev/null
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$build/jet-update-bench" "$root/db/jet/testdata/picbase/picbase-V2000-full.pbd" \
  "$root/payload/catalogue.tsv" "$work" "$runs"

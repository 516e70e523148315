#!/usr/bin/env bash
# Builds a release tree and times `kwastor-jet check` (open plus the full consistency check) of
# picbase-V2000-text.pbd against mdb-export (Debian's mdbtools) exporting its three tables, the
# two alternating in the same run. Medians of RUNS runs (default 21).
# Needs: cmake, ninja, mdb-export. Optional: BUILD (release tree), RUNS.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD:-$root/build-release}
runs=${RUNS:-21}
file=$root/db/jet/testdata/picbase/picbase-V2000-text.pbd

cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DKWASTOR_BENCH=ON >/dev/null
ninja -C "$build" kwastor-jet >/dev/null

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
now() { echo "${EPOCHREALTIME/./}"; } # microseconds
median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
ms() { awk -v us="$1" 'BEGIN { printf "%.2f ms", us / 1e3 }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }

check() { "$build/kwastor-jet" check "$file" --password kolibrie >/dev/null; }
export_all() {
  for t in categorie pictogram categorie_pictogram; do mdb-export "$file" "$t" >/dev/null; done
}
check || { echo "kwastor-jet check does not find the file sound" >&2; exit 1; }

: >"$work/check"
: >"$work/export"
for i in $(seq "$runs"); do
  # Alternate the order so neither side always runs on a warmer cache.
  if ((i % 2)); then
    t0=$(now); check; t1=$(now); export_all; t2=$(now)
    echo $((t1 - t0)) >>"$work/check"; echo $((t2 - t1)) >>"$work/export"
  else
    t0=$(now); export_all; t1=$(now); check; t2=$(now)
    echo $((t2 - t1)) >>"$work/check"; echo $((t1 - t0)) >>"$work/export"
  fi
done
c=$(median <"$work/check"); e=$(median <"$work/export")
echo "Access file benchmark: $runs runs, medians; $(basename "$file"), $(stat -c %s "$file") bytes"
printf '%-38s %12s %-28s %7s %8s\n' "What" "Kwastor" "Baseline" "Ratio" "Target"
printf '%-38s %12s %-28s %7s %8s\n' "open + full check (kwastor-jet check)" "$(ms "$c")" \
  "mdb-export x3 $(ms "$e")" "$(ratio "$c" "$e")" "< 20 ms"

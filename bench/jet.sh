#!/usr/bin/env bash
# Builds a release tree and times `kwastor-jet check` (open plus the full consistency check) of
# picbase-V2000-text.pbd against mdb-export (Debian's mdbtools) exporting its three tables, the
# two alternating in the same run. Medians of RUNS runs (default 21). Then the peak memory of the
# check of a 100 MB file grown from a small one (its definition keeps the small count, which the
# check reports) against the check of the small one, and mdb-export of the grown table as baseline.
# Needs: cmake, ninja, mdb-export, /usr/bin/time. Optional: BUILD (release tree), RUNS.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD:-$root/build-release}
runs=${RUNS:-21}
file=$root/db/jet/testdata/picbase/picbase-V2000-text.pbd

cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DKWASTOR_BENCH=ON >/dev/null
ninja -C "$build" kwastor-jet make-big-jet >/dev/null

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

small=$root/db/jet/testdata/picbase/picbase-V2000-none.pbd
big=$work/big.pbd
"$build/make-big-jet" "$small" "$big" kolibrie categorie_pictogram 100
peak() { /usr/bin/time -f %M -o "$work/rss" "$@" >/dev/null || true; tail -n1 "$work/rss"; } # KiB
t0=$(now); kBig=$(peak "$build/kwastor-jet" check "$big" --password kolibrie); t1=$(now)
kSmall=$(peak "$build/kwastor-jet" check "$small" --password kolibrie)
t2=$(now); mBig=$(peak mdb-export "$big" categorie_pictogram); t3=$(now)
mb() { awk -v k="$1" 'BEGIN { printf "%.1f MB", k / 1024 }'; }
printf '%-38s %12s %-28s %7s %8s\n' "check of 100 MB: peak memory" "$(mb "$kBig")" \
  "same check of 0.4 MB $(mb "$kSmall")" "$(ratio "$kBig" "$kSmall")" "bounded"
printf '%-38s %12s %-28s %7s %8s\n' "check of 100 MB: time" "$(ms $((t1 - t0)))" \
  "mdb-export x1 $(ms $((t3 - t2)))" "$(ratio $((t1 - t0)) $((t3 - t2)))" "-"

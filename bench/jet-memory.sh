#!/usr/bin/env bash
# Peak memory of reading every row of a 100 MB Access file, against reading the 0.25 MB file it
# was grown from (kwastor-jet dump --file-order, which streams the rows); mdb-export of the grown
# table on the same two files is the baseline. What growth there is, is the page cache filling up
# (256 pages, 1 MiB), which a small file never does. Needs: cmake, ninja, mdb-export, /usr/bin/time.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD:-$root/build-release}
small=$root/db/jet/testdata/picbase/picbase-V2000-none.pbd
table=categorie_pictogram

cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DKWASTOR_BENCH=ON >/dev/null
ninja -C "$build" kwastor-jet make-big-jet >/dev/null

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
big=$work/big.pbd
"$build/make-big-jet" "$small" "$big" kolibrie "$table" 100

peak() { /usr/bin/time -f %M -o "$work/rss" "$@" >"$work/out"; cat "$work/rss"; } # KiB
rows() { grep -A5 "^# table	$table\$" "$work/out" | awk -F'\t' '$1 == "# rows" { print $2; exit }'; }
kSmall=$(peak "$build/kwastor-jet" dump "$small" --password kolibrie --file-order)
rowsSmall=$(rows)
kBig=$(peak "$build/kwastor-jet" dump "$big" --password kolibrie --file-order)
rowsBig=$(rows)
mSmall=$(peak mdb-export "$small" "$table")
mBig=$(peak mdb-export "$big" "$table")
mb() { awk -v b="$1" 'BEGIN { printf "%.1f MB", b / 1048576 }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }

echo "Access file memory benchmark: peak resident memory, $(mb "$(stat -c %s "$small")") file" \
  "($rowsSmall rows in $table) grown to $(mb "$(stat -c %s "$big")") ($rowsBig rows)"
printf '%-40s %22s %22s %8s\n' "What" "small file" "100 MB file" "growth"
printf '%-40s %19s KiB %19s KiB %8s\n' "kwastor-jet dump --file-order" "$kSmall" "$kBig" \
  "$(ratio "$kBig" "$kSmall")"
printf '%-40s %19s KiB %19s KiB %8s\n' "baseline: mdb-export $table" "$mSmall" "$mBig" \
  "$(ratio "$mBig" "$mSmall")"
echo "kwastor-jet / mdb-export on the 100 MB file: $(ratio "$kBig" "$mBig")"

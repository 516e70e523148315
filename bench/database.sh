#!/usr/bin/env bash
# The database rows of the benchmark table: `kwastor database` on a fresh copy of a database
# against the sqlite3 shell running the very same statements inside one transaction on another
# copy, on the demo database and on databases grown to 3,000, 100,000 and 1,000,000 links, each
# with the demo's keys (which index categorie_pictogram by categorie_nr) and without any index on
# categorie_nr; then the growth of the database mode's time over those sizes, for the SQLite back
# end and for the built-in Access engine on Access files grown alike, each Access row paired with
# the program on the SQLite database of the same size.
# Without the index the update reads the whole link table once per pictogram (tens of seconds at
# 1,000,000 links), so those rows run GROWTH_ROUNDS paired rounds (default 3) and are no goal.
# Needs: cmake, ninja, sqlite3 (the shell). Optional: BUILD, ROUNDS (default 11), GROWTH_ROUNDS,
# HEADER=0, ACCESS_ONLY=1 (only the rows of the Access demo), GROWTH_ONLY=1 (only the growth
# rows), GROWTH_SIZES (default "3000 100000 1000000").
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD:-$root/build-release}
rounds=${ROUNDS:-11}

cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DKWASTOR_BENCH=ON >/dev/null
ninja -C "$build" kwastor make-test-installation record-update-sql grow-jet >/dev/null

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# shellcheck source=bench/lib.sh
source "$(dirname "$0")/lib.sh"
mkdir "$work/cwd"
kwastor=$build/kwastor
"$build/make-test-installation" --sqlite "$work/demo" >/dev/null

# grow OUT LINKS INDEXED: the demo database with LINKS links in all. The added links belong to
# categories numbered from 10000 (which the update keeps) and to the demo's pictogram numbers, so
# that every one of them stays and every statement reads past them. Without the index, the link
# table is rebuilt without its keys on categorie_nr.
grow() {
  local out=$1 links=$2 indexed=$3 per=1172
  cp "$work/demo/picbase.pbd" "$out"
  {
    echo "BEGIN;"
    if [ "$indexed" = no ]; then
      echo "CREATE TABLE cp2 (nr INTEGER NOT NULL, categorie_nr INTEGER NOT NULL,"
      echo "  pictogram_nr INTEGER NOT NULL);"
      echo "INSERT INTO cp2 SELECT nr, categorie_nr, pictogram_nr FROM categorie_pictogram;"
      echo "DROP TABLE categorie_pictogram;"
      echo "ALTER TABLE cp2 RENAME TO categorie_pictogram;"
      echo "CREATE INDEX categorie_pictogram_pictogram ON categorie_pictogram (pictogram_nr);"
    fi
    echo "WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n"
    echo "  WHERE i + 1 < $links - (SELECT count(*) FROM categorie_pictogram))"
    echo "INSERT INTO categorie_pictogram SELECT 10000 + i % $per, 10000 + i / $per,"
    echo "  1 + i % $per FROM n;"
    echo "INSERT INTO categorie SELECT DISTINCT categorie_nr, 1141, 'Groei', 1"
    echo "  FROM categorie_pictogram WHERE categorie_nr >= 10000;"
    echo "COMMIT;"
  } | sqlite3 -bail "$out"
}

# The statements of one update on a database, recorded on a scratch copy, and the same wrapped in
# one transaction for the shell (the program's own BEGIN and COMMIT become that transaction's).
record() {
  cp "$1" "$work/scratch.pbd"
  (cd "$work/cwd" && "$build/record-update-sql" "$kwastor" "$work/scratch.pbd") |
    grep -v -E '^(BEGIN|COMMIT|ROLLBACK)' >"$work/body.sql"
  { echo "BEGIN IMMEDIATE;"; cat "$work/body.sql"; echo "COMMIT;"; } >"$work/statements.sql"
  rm -f "$work/scratch.pbd"
}

source_db=
prep() {
  rm -rf "$work/k" "$work/s.pbd"
  mkdir "$work/k"
  cp "$source_db" "$work/k/picbase.pbd"
  cp "$source_db" "$work/s.pbd"
}
run_k() { (cd "$work/cwd" && "$kwastor" database "$work/k/" >/dev/null); }
run_s() { sqlite3 -init /dev/null -bail "$work/s.pbd" <"$work/statements.sql" >/dev/null; }
same() {
  if [ "$(sqlite3 "$work/k/picbase.pbd" .dump | md5sum)" != "$(sqlite3 "$work/s.pbd" .dump | md5sum)" ]; then
    echo "the shell's replay left other rows than the program: not the same statements" >&2
    exit 1
  fi
}

[ "${HEADER:-1}" = 0 ] || header
# measure NAME DATABASE WHAT TARGET
measure() {
  source_db=$2
  record "$source_db"
  prep 0 && run_k 0 && run_s 0 && same # also warms the cache for both
  paired "k.$1" "s.$1" prep run_k run_s
  row "$3" "k.$1" "sqlite3, 1 transaction" "s.$1" "$4"
}
[ "${ACCESS_ONLY:-0}" = 1 ] || [ "${GROWTH_ONLY:-0}" = 1 ] || measure demo "$work/demo/picbase.pbd" \
  "database, demo ($(sqlite3 "$work/demo/picbase.pbd" 'SELECT count(*) FROM categorie_pictogram') links)" "<= 1.10"

# The built-in Access engine on the installation's own kind of file (the Access demo: an
# Access-made Jet 4 file with 3,000 links and their indexes) against the SQLite back end on the
# SQLite demo, both through the program's database mode.
"$build/make-test-installation" "$work/access" >/dev/null
prep_a() {
  rm -rf "$work/ka" "$work/ks"
  mkdir "$work/ka" "$work/ks"
  cp "$work/access/picbase.pbd" "$work/ka/"
  cp "$work/demo/picbase.pbd" "$work/ks/"
}
run_ka() { (cd "$work/cwd" && "$kwastor" database "$work/ka/" >/dev/null); }
run_ks() { (cd "$work/cwd" && "$kwastor" database "$work/ks/" >/dev/null); }
if [ "${GROWTH_ONLY:-0}" != 1 ]; then
prep_a 0 && run_ka 0 && run_ks 0 # warms the cache for both
paired k.access k.sqlite prep_a run_ka run_ks
row "database, Access demo, built-in engine" k.access "kwastor on the SQLite demo" k.sqlite "<= 1"
# peak FOLDER: the database mode's peak memory (KiB) on a fresh copy in FOLDER.
peak() {
  prep_a 0
  /usr/bin/time -f %M -o "$work/rss" env -C "$work/cwd" "$kwastor" database "$1/" >/dev/null
  cat "$work/rss"
}
note "database, Access demo, peak memory" \
  "$(peak "$work/ka") kB against $(peak "$work/ks") kB on the SQLite demo (target <= 1)"
fi
[ "${ACCESS_ONLY:-0}" = 1 ] && exit 0

# grow_access OUT LINKS INDEXED: the Access demo with LINKS links in all, grown by the engine's
# writer. The engine can't drop an index, so the variant without one starts from the same database
# made by Access without any index (not even the primary keys or the one on pictogram_nr).
grow_access() {
  if [ "$3" = yes ]; then
    cp "$work/access/picbase.pbd" "$1"
  else
    cp "$root/db/jet/testdata/picbase/picbase-V2000-none.pbd" "$1"
  fi
  local t0
  t0=$(now)
  "$build/grow-jet" "$1" kolibrie "$2"
  echo "$(($(now) - t0))" >"$work/t.grow.$2.$3"
}
# measure_access NAME ACCESS SQLITE WHAT: the program on a fresh copy of the Access database
# against the program on a fresh copy of the SQLite database of the same size.
measure_access() {
  local access=$2 sqlite=$3
  prep_g() {
    rm -rf "$work/ka" "$work/ks"
    mkdir "$work/ka" "$work/ks"
    cp "$access" "$work/ka/picbase.pbd"
    cp "$sqlite" "$work/ks/picbase.pbd"
  }
  prep_g 0 && run_ka 0 && run_ks 0 # warms the cache for both
  paired "a.$1" "ks.$1" prep_g run_ka run_ks
  row "$4" "a.$1" "kwastor on SQLite, same size" "ks.$1" "-"
}

read -r -a sizes <<<"${GROWTH_SIZES:-3000 100000 1000000}"
for links in "${sizes[@]}"; do
  for indexed in yes no; do
    grow "$work/g.pbd" "$links" "$indexed"
    grow_access "$work/ga.pbd" "$links" "$indexed"
    if [ "$indexed" = yes ]; then
      measure "$links.$indexed" "$work/g.pbd" "database, $links links" "<= 1.10"
      measure_access "$links.$indexed" "$work/ga.pbd" "$work/g.pbd" \
        "database, $links links, Access engine"
    else
      rounds=${GROWTH_ROUNDS:-3} measure "$links.$indexed" "$work/g.pbd" \
        "database, $links links, no index (${GROWTH_ROUNDS:-3} r.)" "-"
      rounds=${GROWTH_ROUNDS:-3} measure_access "$links.$indexed" "$work/ga.pbd" "$work/g.pbd" \
        "database, $links links, no index, Access (${GROWTH_ROUNDS:-3} r.)"
    fi
  done
done

echo
echo "Growth of the database mode, median (min-max) of $rounds rounds indexed," \
  "${GROWTH_ROUNDS:-3} without; Access/SQLite: ratio of the paired medians (range of the rounds):"
growth_line() {
  printf '%-8s | %-28s | %-28s | %-18s | %-28s | %-28s | %s\n' "$@"
}
growth_line "links" "SQLite, indexed" "Access, indexed" "Access/SQLite" \
  "SQLite, no index" "Access, no index (none)" "Access/SQLite"
for links in "${sizes[@]}"; do
  growth_line "$links" "$(timed "k.$links.yes")" "$(timed "a.$links.yes")" \
    "$(ratio_of "a.$links.yes" "ks.$links.yes")" "$(timed "k.$links.no")" \
    "$(timed "a.$links.no")" "$(ratio_of "a.$links.no" "ks.$links.no")"
done
echo "Access without index: the engine can't drop an index; that column starts from the demo's"
echo "tables made by Access without any index (no primary keys, no index on pictogram_nr either)."
echo "Growing the Access files (grow-jet, one transaction):$(for links in "${sizes[@]}"; do
  printf ' %s links %s / %s;' "$links" "$(timed "grow.$links.yes")" "$(timed "grow.$links.no")"
done)"

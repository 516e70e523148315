#!/usr/bin/env bash
# Runs the real program from the command line: usage text, exit statuses, messages on standard
# error, the road without a display, a log that can't be created, and both modes end to end.
# Usage: cli_test.sh <kwastor> <make-test-installation> <Access 97 picbase>
set -uo pipefail
kwastor=$1
make_installation=$2
picbase97=$3
work=$(mktemp -d)
trap 'umount "$work/ro" 2>/dev/null; rm -rf "$work"' EXIT
# shellcheck source=/dev/null
source "$(dirname "$0")/../scripts/checks.sh"

run() { # run <folder> <args...>: sets status, err
  local dir=$1
  shift
  err=$(cd "$dir" && env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$kwastor" "$@" 2>&1 >/dev/null)
  status=$?
}

usage=$'Kwastor: Gebruik:\n\n\tKwastor bestanden <Merodaan-map>\n\xc3\xb3f\tKwastor database <Gebruikers-map>'

mkdir -p "$work/cwd"
for line in "install /x" "   " "bestanden" $'bestanden\t/x' "database"; do
  run "$work/cwd" "$line"
  check "usage for '$line': status" 2 "$status"
  check "usage for '$line': text" "$usage" "$err"
done
run "$work/cwd" "" ""
check "empty arguments give the usage text" 2 "$status"
check "a run that only shows the usage text writes no log" "" "$(ls "$work/cwd")"

# No display, or one that can't be used: the message in Dutch naming both modes, status 1, never
# an abort.
for display in "" DISPLAY=:9999 WAYLAND_DISPLAY=kwastor-geen QT_QPA_PLATFORM=geen \
  QT_QPA_PLATFORM=wayland; do
  err=$(cd "$work/cwd" && env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM $display "$kwastor" 2>&1 >/dev/null)
  status=$?
  check "no display ($display): status" 1 "$status"
  check "no display ($display): the message" "Kwastor: de wizard heeft een beeldscherm nodig, maar
De opdrachtregel heeft er geen nodig:
  kwastor bestanden <Merodaan-map>
  kwastor database <Gebruikers-map>" "$(sed 's/, maar .*/, maar/' <<<"$err")"
done

run "$work/cwd" bestanden "$work/missing"
check "files mode into a missing folder: status" 1 "$status"
check "files mode into a missing folder: messages, the last naming the log" \
  "Kwastor: Fout tijdens het maken van bestand '$work/missing/pictogrammen/i1173.wmf'
Kwastor: Kopieren van bestanden is mislukt.
Kwastor: Zie het logbestand '$work/cwd/Kwastor.log' voor de reden." "$err"
check "the log was written" 1 "$(grep -c 'SaveResources() : beginnen met kopieren van de bestanden.' "$work/cwd/Kwastor.log")"

run "$work/cwd" DataBase "$work/missing"
check "database mode on a missing database: status" 1 "$status"
check "database mode on a missing database: last messages" \
  "Kwastor: Kon database '$work/missing/picbase.pbd' niet openen
Kwastor: Zie het logbestand '$work/cwd/Kwastor.log' voor de reden." "$(tail -n 2 <<<"$err")"
check "the first run's log became the backup" 1 "$(grep -c 'SaveResources()' "$work/cwd/Kwastor.log.bak")"

mkdir -p "$work/ro"
if mount -t tmpfs -o size=64k,ro tmpfs "$work/ro" 2>/dev/null; then
  run "$work/ro" bestanden "$work/missing"
  check "log that can't be created: one message" 1 \
    "$(grep -c "^Log::OpenLog(): Log 'Kwastor.log' couldn't be created.$" <<<"$err")"
  check "log that can't be created: the mode still reports" 1 "$status"
  check "log that can't be created: no log is named" 0 "$(grep -c 'Zie het logbestand' <<<"$err")"
  umount "$work/ro"
else
  echo "SKIP log that can't be created: mounting a tmpfs is not permitted here"
fi

# Started without standard error (or input, or output): nothing meant for it lands in the log.
for closed in "2>&-" "0<&- 1>&- 2>&-"; do
  rm -rf "$work/nostd" && mkdir "$work/nostd"
  (cd "$work/nostd" && eval "env -u DISPLAY \"\$kwastor\" bestanden \"\$work/missing\" $closed")
  check "started with $closed: exit status" 1 "$?"
  check "started with $closed: no message in the log" 0 "$(grep -c 'Kwastor: ' "$work/nostd/Kwastor.log")"
  check "started with $closed: the log is whole" 1 "$(grep -c ' - Logging ended.' "$work/nostd/Kwastor.log")"
done

"$make_installation" "$work/inst" >/dev/null || { echo "FAIL make-test-installation"; exit 1; }
run "$work/cwd" bestanden "$work/inst"
check "files mode: status" 0 "$status"
check "files mode: silent" "" "$err"
check "files mode: 1232 files" 1232 "$(find "$work/inst" -type f -name 'i*' | wc -l)"
run "$work/cwd" database "$work/inst/"
check "database mode: status" 0 "$status"
check "database mode: silent" "" "$err"
# The installation's database is an Access file: an independent reader counts the rows, our
# checker walks every index, and a second run leaves the same rows.
jet=$(dirname "$kwastor")/kwastor-jet
check "database mode: 308 pictograms added" 308 \
  "$(mdb-export "$work/inst/picbase.pbd" pictogram | awk -F, 'NR > 1 && $1 >= 1173' | wc -l)"
check "database mode: the database is sound" sound \
  "$("$jet" check "$work/inst/picbase.pbd" --password kolibrie)"
"$jet" dump "$work/inst/picbase.pbd" --password kolibrie >"$work/first.tsv"
run "$work/cwd" database "$work/inst/"
check "database mode again: status" 0 "$status"
check "database mode again: the same rows" "" \
  "$("$jet" dump "$work/inst/picbase.pbd" --password kolibrie | diff "$work/first.tsv" -)"

# A database with a second name (a hard link) is refused before anything changes: the commit's
# rename would leave the other name with the old contents.
inst=$work/linked
"$make_installation" "$inst" >/dev/null
ln "$inst/picbase.pbd" "$work/tweede-naam.pbd"
cp "$inst/picbase.pbd" "$work/linked-before.pbd"
run "$work/cwd" database "$inst/"
check "hard-linked database: refused" 1 "$status"
check "hard-linked database: unchanged" "" "$(cmp "$work/linked-before.pbd" "$inst/picbase.pbd" 2>&1)"
check "hard-linked database: the reason is logged" 1 "$(grep -c 'names (hard links)' "$work/cwd/Kwastor.log")"

# Every variant of the target's database: the Jet 4 ones and the Access 97 one that the build
# makes. Where a unique index on the category names refuses a new category's name (the text
# variants hold "Gezondheid" already, as the Access driver would refuse too), the mode fails and
# the file is left byte for byte as it was.
fixtures=$(dirname "$0")/../db/jet/testdata/picbase
for file in "$fixtures"/picbase-V2000-{none,pk,full,text}.pbd "$fixtures/picbase-V2003-text.pbd" \
  "$picbase97"; do
  variant=$(basename "$file" .pbd)
  variant=${variant#picbase-}
  inst=$work/v-$variant
  "$make_installation" "$inst" >/dev/null
  cp "$file" "$inst/picbase.pbd"
  run "$work/cwd" database "$inst/"
  if [[ $variant == *text ]]; then
    check "$variant: refused" 1 "$status"
    check "$variant: unchanged" "" "$(cmp "$file" "$inst/picbase.pbd" 2>&1)"
  else
    check "$variant: status" 0 "$status"
    check "$variant: sound" sound "$("$jet" check "$inst/picbase.pbd" --password kolibrie)"
    check "$variant: links added" 308 "$(mdb-export "$inst/picbase.pbd" categorie_pictogram |
      awk -F, 'NR > 1 && $3 >= 1173' | wc -l)"
  fi
done
check "log ends with the end record" 1 "$(tail -n 1 "$work/cwd/Kwastor.log" | grep -c ' - Logging ended.')"

checks_done

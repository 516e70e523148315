#!/usr/bin/env bash
# The Access 97 picbase as the tests use it: sound by kwastor-jet check; each of its three tables
# read by kwastor-jet dump (schema and rows) and by mdb-export (rows) exactly as the dump of the
# Jet 4 file it was filled from lists them; opened only with its password.
# Usage: check.sh KWASTOR_JET FILE EXPECTED_TSV
set -uo pipefail
tool=$1 file=$2 expected=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

out=$("$tool" check "$file" --password kolibrie); rc=$?
[ $rc -eq 0 ] && [ "$out" = sound ] || fail "check: status $rc, output: $out"

for password in "" wrong Kolibrie; do
  "$tool" info "$file" --password "$password" >/dev/null 2>"$work/err" && fail "password '$password' opened it"
  grep -q "Not a valid password" "$work/err" || fail "password '$password': $(cat "$work/err")"
done

"$tool" dump "$file" --password kolibrie >"$work/dump.tsv" || fail "dump: status $?"
# One table's part of a dump: from its "# table" line to the next.
part() { awk -v t="$1" -F '\t' '/^# table/ { on = ($2 == t) } on' "$2"; }
for table in categorie pictogram categorie_pictogram; do
  part "$table" "$expected" >"$work/$table.expected"
  [ -s "$work/$table.expected" ] || fail "$table: not in $expected"
  part "$table" "$work/dump.tsv" | diff "$work/$table.expected" - >"$work/diff" ||
    fail "$table: kwastor-jet dump differs: $(head -5 "$work/diff")"
  # mdb-export prints the same rows (the dump escapes no character these rows hold).
  mdb-export -H -Q -d '\t' "$file" "$table" | sort >"$work/$table.exported"
  grep -v '^#' "$work/$table.expected" | sort | diff - "$work/$table.exported" >"$work/diff" ||
    fail "$table: mdb-export differs: $(head -5 "$work/diff")"
  echo "$table: $(grep -vc '^#' "$work/$table.expected") rows compared"
done
[ $failures -eq 0 ] && echo ok
exit $((failures > 0))

#!/usr/bin/env bash
# kwastor-jet check and keys as a user meets them: exit status 0 and "sound" for a sound file, 1
# with the finding for a damaged copy, 2 with the usage for missing arguments; keys as listed in
# the fixture.
# Usage: check.sh KWASTOR_JET TESTDATA_DIR
set -uo pipefail
tool=$1 testdata=$2
good=$testdata/picbase/picbase-V2000-text.pbd
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

out=$("$tool" check "$good" --password kolibrie); rc=$?
[ $rc -eq 0 ] && [ "$out" = sound ] || fail "sound file: status $rc, output: $out"

# One key byte changed on the leaf of categorie.omschrijving (page 27, first entry at 0x1E0).
cp "$good" "$work/damaged.pbd"
printf '\x4b' | dd of="$work/damaged.pbd" bs=1 seek=$((27 * 4096 + 0x1E0 + 2)) conv=notrunc 2>/dev/null
out=$("$tool" check "$work/damaged.pbd" --password kolibrie); rc=$?
[ $rc -eq 1 ] || fail "damaged copy: status $rc"
grep -q "^index-key	categorie	omschrijving	" <<<"$out" || fail "damaged copy: no index-key finding: $out"

"$tool" check 2>"$work/usage"; rc=$?
[ $rc -eq 2 ] && grep -q "kwastor-jet check FILE" "$work/usage" || fail "usage: status $rc"

"$tool" keys "$good" pictogram naam --password kolibrie |
  cmp -s - "$testdata/keys/picbase-V2000-text.pictogram.naam.tsv" || fail "keys pictogram naam"
echo "ok"

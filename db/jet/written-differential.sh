#!/usr/bin/env bash
# Has jet_writer_test keep the files that its update, random and usage-map tests write, then
# compares them row for row with mdb-export and mdb-reader through kwastor-jet's differential.sh.
# Usage: written-differential.sh WRITER_TEST KWASTOR_JET NODE_DIR OUT_DIR
set -euo pipefail
writerTest=$1 tool=$2 nodeDir=$3 out=$4
here=$(cd "$(dirname "$0")" && pwd)
rm -rf "$out"
mkdir -p "$out/picbase" "$out/public/jackcess"
# differential.sh also derives a file with a long Jet 3 row from this one.
cp "$here/testdata/public/jackcess/testV1997.mdb" "$out/public/jackcess/"
printf 'file\tsource\tpath\tcommit\tlicence\tversion\tpassword\n' >"$out/public/MANIFEST.tsv"
KW_JET_WRITTEN="$out" "$writerTest" --gtest_filter='*TheUpdates*:*RandomInserts*:*UsageMaps*:*SeveralLevels*' >"$out/test.log" ||
  { cat "$out/test.log"; exit 1; }
exec bash "$here/../../tools/kwastor-jet/differential.sh" "$tool" "$out" "$nodeDir"

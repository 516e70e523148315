#!/usr/bin/env bash
# Has jet_writer_test keep the files that its update, random, usage-map, table-making and
# password tests write, then compares them, and the Access 97 picbase that the build makes, row for
# row with mdb-export and mdb-reader through kwastor-jet's differential.sh.
# Usage: written-differential.sh WRITER_TEST KWASTOR_JET NODE_DIR OUT_DIR PICBASE_V1997
set -euo pipefail
writerTest=$1 tool=$2 nodeDir=$3 out=$4 picbase97=$5
here=$(cd "$(dirname "$0")" && pwd)
rm -rf "$out"
mkdir -p "$out/picbase" "$out/public/jackcess"
# differential.sh also derives a file with a long Jet 3 row from this one.
cp "$here/testdata/public/jackcess/testV1997.mdb" "$out/public/jackcess/"
printf 'file\tsource\tpath\tcommit\tlicence\tversion\tpassword\n' >"$out/public/MANIFEST.tsv"
cp "$picbase97" "$out/public/"
printf '%s\t\t\t\t\t\tkolibrie\n' "$(basename "$picbase97")" >>"$out/public/MANIFEST.tsv"
KW_JET_WRITTEN="$out" "$writerTest" --gtest_filter='*TheUpdates*:*RandomInserts*:*UsageMaps*:*SeveralLevels*:*Created*:*Password*' >"$out/test.log" ||
  { cat "$out/test.log"; exit 1; }
exec bash "$here/../../tools/kwastor-jet/differential.sh" "$tool" "$out" "$nodeDir"

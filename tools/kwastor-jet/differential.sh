#!/usr/bin/env bash
# Runs differential.mjs: kwastor-jet against mdb-reader (installed here with npm into NODE_DIR)
# and mdb-export. Exits 77 (skipped) only when npm can't install mdb-reader.
# Usage: differential.sh KWASTOR_JET TESTDATA_DIR NODE_DIR
set -euo pipefail
tool=$1 testdata=$2 nodeDir=$3
here=$(cd "$(dirname "$0")" && pwd)
command -v mdb-export >/dev/null || { echo "mdb-export is missing: install mdbtools (scripts/install-deps.sh)"; exit 1; }
mkdir -p "$nodeDir"
if [ ! -f "$nodeDir/node_modules/mdb-reader/package.json" ]; then
  if ! npm install --prefix "$nodeDir" --no-audit --no-fund --silent mdb-reader@3 >"$nodeDir/npm.log" 2>&1; then
    echo "SKIPPED: npm could not install mdb-reader (see $nodeDir/npm.log)"
    exit 77
  fi
fi
cd "$nodeDir"
TZ=UTC exec node "$here/differential.mjs" "$tool" "$testdata"

#!/usr/bin/env bash
# Builds a release tree and runs every benchmark. The file installation, start-up, memory and
# database rows form one table, each against a peer measured in the same run (paired rounds with a
# sync between the two commands, alternating order; median with its spread); the Access file
# benchmarks follow.
set -euo pipefail
cd "$(dirname "$0")"
echo "Kwastor benchmark, $(date -u '+%Y-%m-%d %H:%M UTC'), $(nproc) cores," \
  "load average $(cut -d' ' -f1-3 /proc/loadavg) at the start"
source ./lib.sh
header
HEADER=0 bash ./files.sh
HEADER=0 bash ./database.sh
echo "Load average at the end: $(cut -d' ' -f1-3 /proc/loadavg)"
for part in jet jet-write; do
  [ -f "./$part.sh" ] || continue
  echo "=== $part ==="
  bash "./$part.sh"
done

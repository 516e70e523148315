#!/usr/bin/env bash
# Builds a release tree and runs every benchmark; each prints its rows against a baseline
# measured in the same run.
set -euo pipefail
cd "$(dirname "$0")"
for part in files database jet jet-write; do
  echo "=== $part ==="
  bash "./$part.sh"
done

#!/usr/bin/env bash
# Builds a release tree and times the database mode on a fresh test installation against the
# sqlite3 shell replaying the very same statements (each on its own, autocommitted) on a copy
# of the same file, and both halves of the update end to end against cp -r plus the shell.
# Medians of RUNS runs (default 5), baseline measured in the same run.
# Needs: cmake, ninja, sqlite3 (the shell). Optional: BUILD (release tree), RUNS.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD:-$root/build-release}
runs=${RUNS:-5}

cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DKWASTOR_BENCH=ON >/dev/null
ninja -C "$build" kwastor make-test-installation record-update-sql >/dev/null

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/cwd"
kwastor=$build/kwastor
make_installation=$build/make-test-installation
shell() { sqlite3 -init /dev/null -bail "$1" <"$work/statements.sql" >/dev/null 2>&1; }
now() { echo "${EPOCHREALTIME/./}"; } # microseconds
median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
seconds() { awk -v us="$1" 'BEGIN { printf "%.3f s", us / 1e6 }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }

# The statement sequence of one update, recorded on a scratch installation; the replay must
# leave the same rows as the program itself.
"$make_installation" --sqlite "$work/scratch" >/dev/null
(cd "$work/cwd" && "$build/record-update-sql" "$kwastor" "$work/scratch/picbase.pbd") >"$work/statements.sql"
statements=$(wc -l <"$work/statements.sql")

# A reference installation whose media folders the end-to-end baseline copies.
"$make_installation" --sqlite "$work/reference" >/dev/null
(cd "$work/cwd" && "$kwastor" bestanden "$work/reference/" && "$kwastor" database "$work/reference/")

: >"$work/db.kwastor"
: >"$work/db.shell"
: >"$work/all.kwastor"
: >"$work/all.baseline"
for i in $(seq "$runs"); do
  "$make_installation" --sqlite "$work/a$i" >/dev/null
  cp "$work/a$i/picbase.pbd" "$work/copy$i.pbd"
  # Alternate the order so neither side always runs on a warmer cache.
  if ((i % 2)); then
    t0=$(now); (cd "$work/cwd" && "$kwastor" database "$work/a$i/"); t1=$(now)
    shell "$work/copy$i.pbd"; t2=$(now)
    echo $((t1 - t0)) >>"$work/db.kwastor"; echo $((t2 - t1)) >>"$work/db.shell"
  else
    t0=$(now); shell "$work/copy$i.pbd"; t1=$(now)
    (cd "$work/cwd" && "$kwastor" database "$work/a$i/"); t2=$(now)
    echo $((t2 - t1)) >>"$work/db.kwastor"; echo $((t1 - t0)) >>"$work/db.shell"
  fi
  if [ "$(sqlite3 "$work/a$i/picbase.pbd" .dump)" != "$(sqlite3 "$work/copy$i.pbd" .dump)" ]; then
    echo "the replay left other rows than the program: not the same statements" >&2
    exit 1
  fi

  "$make_installation" --sqlite "$work/b$i" >/dev/null
  "$make_installation" --sqlite "$work/c$i" >/dev/null
  t0=$(now)
  (cd "$work/cwd" && "$kwastor" bestanden "$work/b$i/" && "$kwastor" database "$work/b$i/")
  t1=$(now)
  for sub in pictogrammen geluiden/man geluiden/vrouw thumbs; do
    cp -r "$work/reference/$sub/." "$work/c$i/$sub/"
  done
  shell "$work/c$i/picbase.pbd"
  t2=$(now)
  echo $((t1 - t0)) >>"$work/all.kwastor"; echo $((t2 - t1)) >>"$work/all.baseline"
  rm -rf "$work/a$i" "$work/b$i" "$work/c$i" "$work/copy$i.pbd"
done

db_k=$(median <"$work/db.kwastor"); db_s=$(median <"$work/db.shell")
all_k=$(median <"$work/all.kwastor"); all_b=$(median <"$work/all.baseline")
echo "Database benchmark: $runs runs, medians; $statements statements per update;" \
  "working folder on $(stat -f -c %T "$work")"
printf '%-38s %12s %-28s %7s %8s\n' "What" "Kwastor" "Baseline" "Ratio" "Target"
printf '%-38s %12s %-28s %7s %8s\n' "database mode, fresh installation" "$(seconds "$db_k")" \
  "sqlite3 shell $(seconds "$db_s")" "$(ratio "$db_k" "$db_s")" "<= 1.20"
printf '%-38s %12s %-28s %7s %8s\n' "bestanden then database, end to end" "$(seconds "$all_k")" \
  "cp -r + sqlite3 $(seconds "$all_b")" "$(ratio "$all_k" "$all_b")" "-"

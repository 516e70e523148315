#!/usr/bin/env bash
# Builds a release tree and measures the file installation: `kwastor bestanden` of the whole
# payload into an empty installation against `cp -r` of the same media (medians of RUNS runs,
# default 5, in alternating order), its peak memory, NeededDiskSpace over all 1,232 blobs, and
# start-up to the usage text against /bin/true.
# Needs: cmake, ninja, GNU time (/usr/bin/time), Google Benchmark. Optional: BUILD, RUNS.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD:-$root/build-release}
runs=${RUNS:-5}

cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DKWASTOR_BENCH=ON >/dev/null
ninja -C "$build" kwastor bench-needed-disk-space >/dev/null
media=$(sed -n 's/^KWASTOR_MEDIA_DIR:PATH=//p' "$build/CMakeCache.txt")

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/cwd"
kwastor=$build/kwastor
now() { echo "${EPOCHREALTIME/./}"; } # microseconds
median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }
empty_installation() { mkdir -p "$1/pictogrammen" "$1/geluiden/man" "$1/geluiden/vrouw" "$1/thumbs"; }
# Both sides write into the folders of an installation made just before, as the program does;
# ext4 places new files near their folder, so folders made by cp itself would land elsewhere.
copy_media() {
  for d in pictogrammen geluiden/man geluiden/vrouw thumbs; do cp -r "$media/$d/." "$1/$d/"; done
}

# One untimed run of each first, so that both read their source from the page cache; no tree
# is deleted until the end, since creating files right after deleting many is slower on ext4
# (it steps over recently freed inodes) and would burden whichever side came next.
empty_installation "$work/warm-k"
(cd "$work/cwd" && "$kwastor" bestanden "$work/warm-k")
empty_installation "$work/warm-c"
copy_media "$work/warm-c"
: >"$work/kwastor"
: >"$work/cp"
for i in $(seq "$runs"); do
  empty_installation "$work/k$i"
  empty_installation "$work/c$i"
  sync
  if ((i % 2)); then
    t0=$(now); (cd "$work/cwd" && "$kwastor" bestanden "$work/k$i"); t1=$(now)
    copy_media "$work/c$i"; t2=$(now)
    echo $((t1 - t0)) >>"$work/kwastor"; echo $((t2 - t1)) >>"$work/cp"
  else
    t0=$(now); copy_media "$work/c$i"; t1=$(now)
    (cd "$work/cwd" && "$kwastor" bestanden "$work/k$i"); t2=$(now)
    echo $((t2 - t1)) >>"$work/kwastor"; echo $((t1 - t0)) >>"$work/cp"
  fi
  if ! diff -r -q "$work/k$i" "$work/c$i" >/dev/null; then
    echo "kwastor bestanden wrote other files than the media" >&2
    exit 1
  fi
done
install_us=$(median <"$work/kwastor")
cp_us=$(median <"$work/cp")

empty_installation "$work/m"
(cd "$work/cwd" && /usr/bin/time -v -o "$work/time" "$kwastor" bestanden "$work/m" 2>/dev/null)
peak_kb=$(sed -n 's/.*Maximum resident set size (kbytes): //p' "$work/time")
largest=$(find "$media" -type f -printf '%s\n' | sort -n | tail -1)
limit_kb=$(((2 * largest + 20 * 1024 * 1024) / 1024))

needed_us=$("$build/bench-needed-disk-space" --benchmark_format=csv 2>/dev/null |
  awk -F, '/BM_NeededDiskSpace/ { print $3 }')

: >"$work/start"
: >"$work/true"
for i in $(seq 21); do
  t0=$(now); (cd "$work/cwd" && "$kwastor" install x 2>/dev/null) || true; t1=$(now)
  /bin/true; t2=$(now)
  echo $((t1 - t0)) >>"$work/start"; echo $((t2 - t1)) >>"$work/true"
done
start_us=$(median <"$work/start")
true_us=$(median <"$work/true")

printf '%-44s %12s %12s %8s %s\n' measure kwastor baseline ratio target
printf '%-44s %9.3f s %9.3f s %8s %s\n' "bestanden, 1,232 files, vs cp -r (median of $runs)" \
  "$(awk -v v="$install_us" 'BEGIN { print v / 1e6 }')" \
  "$(awk -v v="$cp_us" 'BEGIN { print v / 1e6 }')" "$(ratio "$install_us" "$cp_us")" "<= 1.15"
printf '%-44s %9d kB %9d kB %8s %s\n' "bestanden, peak memory vs 2 x largest + 20 MB" \
  "$peak_kb" "$limit_kb" "$(ratio "$peak_kb" "$limit_kb")" "< 1"
printf '%-44s %9.1f us %12s %8s %s\n' "NeededDiskSpace, 1,232 blobs" "$needed_us" "-" "-" \
  "well under 1 ms"
printf '%-44s %9.2f ms %9.2f ms %8s %s\n' "start-up to the usage text vs /bin/true" \
  "$(awk -v v="$start_us" 'BEGIN { print v / 1e3 }')" \
  "$(awk -v v="$true_us" 'BEGIN { print v / 1e3 }')" "$(ratio "$start_us" "$true_us")" "-"

#!/usr/bin/env bash
# The file installation and start-up rows of the benchmark table: `kwastor bestanden` of the whole
# payload into an empty installation against `cp -r`, `tar -x` and `unzip` of the same media (on
# ext4 or whatever holds the temporary folder, and on tmpfs), warm cache, and cold where the page
# cache may be dropped; peak memory of each mode against the largest blob + 8 MB, with the program
# file out of the page cache and in it; start-up to the usage text against /bin/true, and the Qt
# libraries that the usage text loads.
# Needs: cmake, ninja, GNU time (/usr/bin/time), tar, zip, unzip, sqlite3. Optional: strace, BUILD,
# ROUNDS (paired rounds, default 11), HEADER=0 (no table header).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD:-$root/build-release}
rounds=${ROUNDS:-11}

cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DKWASTOR_BENCH=ON >/dev/null
ninja -C "$build" kwastor make-test-installation bench-needed-disk-space >/dev/null
media=$(sed -n 's/^KWASTOR_MEDIA_DIR:PATH=//p' "$build/CMakeCache.txt")

work=$(mktemp -d)
shm=$(mktemp -d -p /dev/shm)
trap 'rm -rf "$work" "$shm"' EXIT
# shellcheck source=bench/lib.sh
source "$(dirname "$0")/lib.sh"
mkdir "$work/cwd"
kwastor=$build/kwastor
folders=(pictogrammen geluiden/man geluiden/vrouw thumbs)
empty_installation() { for d in "${folders[@]}"; do mkdir -p "$1/$d"; done; }
# Every side writes into the folders of an installation made just before, as the program does;
# ext4 places new files near their folder, so folders made by cp itself would land elsewhere.
copy_media() { for d in "${folders[@]}"; do cp -r "$media/$d/." "$1/$d/"; done; }
install() { (cd "$work/cwd" && "$kwastor" bestanden "$1" >/dev/null); }
(cd "$media" && tar -cf "$work/media.tar" pictogrammen geluiden thumbs)
(cd "$media" && zip -q -0 -r "$work/media.zip" pictogrammen geluiden thumbs) # stored, as ours

# One untimed run of each first, so that every side reads its source from the page cache; no
# tree is deleted until the end, since creating files right after deleting many is slower on
# ext4 (it steps over recently freed inodes) and would burden whichever side came next.
empty_installation "$work/warm-k" && install "$work/warm-k"
empty_installation "$work/warm-c" && copy_media "$work/warm-c"
if ! diff -r -q "$work/warm-k" "$work/warm-c" >/dev/null; then
  echo "kwastor bestanden wrote other files than the media" >&2
  exit 1
fi
cat "$work/media.tar" "$work/media.zip" >/dev/null

[ "${HEADER:-1}" = 0 ] || header

base=$work
prep() { empty_installation "$base/k$1"; empty_installation "$base/p$1"; }
run_k() { install "$base/k$1"; }
run_cp() { copy_media "$base/p$1"; }
run_tar() { tar -xf "$work/media.tar" -C "$base/p$1"; }
run_unzip() { unzip -q -o "$work/media.zip" -d "$base/p$1"; }
fs() { stat -f -c %T "$1" | sed 's,ext2/ext3,ext4,'; }
for target in "$work" "$shm"; do
  for peer in cp tar unzip; do
    base=$target/$peer
    mkdir "$base"
    paired kwastor "$peer" prep run_k "run_$peer"
    case $peer in
    cp) label="cp -r" goal="<= 1.05" ;;
    tar) label="tar -x" goal="< 1" ;;
    unzip) label="unzip" goal="< 1" ;;
    esac
    row "bestanden vs $label, $(fs "$target"), warm" kwastor "$label" "$peer" "$goal"
    rm -rf "$base"
  done
done

if (echo 3 >/proc/sys/vm/drop_caches) 2>/dev/null; then
  base=$work/cold
  mkdir "$base"
  cold_prep() { prep "$1"; sync; echo 3 >/proc/sys/vm/drop_caches; }
  # Each side starts from an empty cache: the second one of a pair drops it again.
  cold_k() { echo 3 >/proc/sys/vm/drop_caches; run_k "$1"; }
  cold_cp() { echo 3 >/proc/sys/vm/drop_caches; run_cp "$1"; }
  paired kwastor cp cold_prep cold_k cold_cp
  row "bestanden vs cp -r, $(fs "$work"), cold cache" kwastor "cp -r" cp "-"
else
  note "bestanden vs cp -r, cold cache" "skipped: /proc/sys/vm/drop_caches is not writable here"
fi

# Peak memory, with the program file dropped from the page cache (dd's nocache advice needs no
# privilege) and read into it: a mapping may count cached pages as resident.
largest=$(find "$media" -type f -printf '%s\n' | sort -n | tail -1)
limit_kb=$(((largest + 8 * 1024 * 1024) / 1024))
"$build/make-test-installation" --sqlite "$work/db" >/dev/null
peak() { # peak MODE ARG... -> the larger peak (kB) of the two cache states
  local most=0 kb
  for state in evicted cached; do
    if [ $state = evicted ]; then dd if="$kwastor" iflag=nocache count=0 status=none
    else cat "$kwastor" >/dev/null; fi
    rm -rf "$work/mem" && empty_installation "$work/mem" && cp "$work/db/picbase.pbd" "$work/mem/"
    (cd "$work/cwd" && /usr/bin/time -v -o "$work/time" "$kwastor" "$@" >/dev/null 2>&1) || true
    kb=$(sed -n 's/.*Maximum resident set size (kbytes): //p' "$work/time")
    ((kb > most)) && most=$kb
  done
  echo "$most"
}
for mode in bestanden database usage; do
  kb=$(peak "$mode" "$work/mem") # an unknown mode shows the usage text
  note "$mode, peak memory (either cache state)" \
    "$kb kB against largest blob + 8 MB = $limit_kb kB: $(awk -v a="$kb" -v b="$limit_kb" \
      'BEGIN { printf "%.2f", a / b }') (target <= 1)"
done

needed_us=$("$build/bench-needed-disk-space" --benchmark_format=csv 2>/dev/null |
  awk -F, '/BM_NeededDiskSpace/ { print $3 }')
note "NeededDiskSpace over all 1,232 blobs" "$needed_us us (Google Benchmark; target well under 1 ms)"

nop() { :; }
run_usage() { (cd "$work/cwd" && "$kwastor" usage >/dev/null 2>&1) || true; }
run_true() { /bin/true; }
rounds=$((rounds > 21 ? rounds : 21)) paired start true nop run_usage run_true
row "start-up to the usage text vs /bin/true" start "/bin/true" true "<= 3"
(cd "$work/cwd" && LD_DEBUG=files LD_DEBUG_OUTPUT="$work/ld" "$kwastor" usage >/dev/null 2>&1) || true
qt=$(cat "$work"/ld.* | { grep -o "file=libQt[^ ]*" || true; } | sort -u | wc -l)
note "Qt libraries loaded for the usage text" "$qt (target 0)"
libs=$(cat "$work"/ld.* | { grep -o "file=[^ ]*" || true; } | sort -u | wc -l)
note "libraries loaded for the usage text" "$libs"

# System calls, which a busy machine does not change: the whole run of each side.
if command -v strace >/dev/null; then
  calls() { awk '$NF == "total" { print $4 }' "$1"; }
  rm -rf "$work/sc" && empty_installation "$work/sc"
  (cd "$work/cwd" && strace -f -c -o "$work/strace.k" "$kwastor" bestanden "$work/sc/" >/dev/null)
  rm -rf "$work/sc" && empty_installation "$work/sc"
  strace -f -c -o "$work/strace.cp" bash -c "$(declare -p folders media); $(declare -f copy_media);
    copy_media '$work/sc'"
  note "bestanden, system calls (strace -c -f)" \
    "$(calls "$work/strace.k") against cp -r $(calls "$work/strace.cp") for the same 1,232 files"
else
  note "bestanden, system calls" "skipped: strace is not installed"
fi

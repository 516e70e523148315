#!/usr/bin/env bash
# Installs what Kwastor needs, then builds and runs the whole test suite twice: a normal build
# (g++) and a build with AddressSanitizer and UndefinedBehaviorSanitizer (clang), which also
# runs each libFuzzer target for a bounded time. Between them it builds the release tree (with
# the benchmarks) so that an optimised build can't break unseen. Last, it cross-builds the Windows
# edition and runs its tests under Wine. Run as root on Debian 12.
set -euo pipefail
cd "$(dirname "$0")"
top=$PWD

if [ "${KWASTOR_SKIP_DEPS:-0}" != 1 ]; then
  bash scripts/install-deps.sh
fi

# The window tests and the end-to-end run need an X display; give them a virtual one.
run_tests() {
  (cd "$1" && xvfb-run -a -s "-screen 0 1280x1024x24" ctest --output-on-failure -j2)
}

echo "=== normal build ==="
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
ninja -C build
run_tests build

echo "=== release build ==="
# Built, not run: -O3 brings warnings of its own (g++ 12's -Wrestrict), and the benchmarks
# (bench/run.sh) use this tree, so it must keep compiling with -Werror.
cmake -S . -B build-release -G Ninja -DCMAKE_BUILD_TYPE=Release -DKWASTOR_BENCH=ON \
  -DKWASTOR_MEDIA_DIR="$top/build/media"
ninja -C build-release

echo "=== AddressSanitizer + UndefinedBehaviorSanitizer build ==="
# The demo media are generated once and shared with the first build.
CC=clang CXX=clang++ cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug \
  -DKWASTOR_SANITIZE=ON -DKWASTOR_FUZZ=ON -DKWASTOR_MEDIA_DIR="$top/build/media"
ninja -C build-asan
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export LSAN_OPTIONS=suppressions=$top/scripts/lsan.supp:print_suppressions=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
run_tests build-asan

echo "=== fuzzing (${FUZZ_SECONDS:=30} s per target) ==="
for fuzzer in build-asan/fuzz/fuzz_*; do
  name=$(basename "$fuzzer")
  corpus=build-asan/fuzz-corpus/$name
  mkdir -p "$corpus"
  "$fuzzer" -max_total_time="$FUZZ_SECONDS" -print_final_stats=0 "$corpus" "fuzz/seeds/$name" \
    > "build-asan/$name.log" 2>&1 || { tail -40 "build-asan/$name.log"; echo "$name FAILED"; exit 1; }
  echo "$name: $(grep -o "Done [0-9]* runs" "build-asan/$name.log" | tail -1), no failure"
done
echo "=== Windows edition ==="
# The packages came with the step above; the host tools and media come from the normal build.
KWASTOR_SKIP_DEPS=1 KWASTOR_MEDIA_DIR="$top/build/media" bash scripts/build-windows.sh
run_tests build-win
echo "All tests passed."

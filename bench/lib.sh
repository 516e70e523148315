# Shared by the benchmark scripts (sourced): paired timing and the table's rows.
# Expects: $work (a scratch folder), $rounds (paired rounds, at least 11).

now() { echo "${EPOCHREALTIME/./}"; } # microseconds

# paired NAME_A NAME_B PREPARE RUN_A RUN_B: $rounds rounds; each round calls PREPARE i, syncs,
# then runs RUN_A i and RUN_B i with a sync between them, the first of the two alternating from
# round to round so that neither always finds the other's dirty pages or a warmer cache. The
# times (microseconds) go to $work/t.NAME_A and $work/t.NAME_B, one line per round.
paired() {
  local a=$1 b=$2 prepare=$3 run_a=$4 run_b=$5 i t0 t1 t2 t3
  : >"$work/t.$a"
  : >"$work/t.$b"
  for i in $(seq "$rounds"); do
    "$prepare" "$i"
    sync
    if ((i % 2)); then
      t0=$(now); "$run_a" "$i"; t1=$(now)
      sync
      t2=$(now); "$run_b" "$i"; t3=$(now)
    else
      t2=$(now); "$run_b" "$i"; t3=$(now)
      sync
      t0=$(now); "$run_a" "$i"; t1=$(now)
    fi
    echo $((t1 - t0)) >>"$work/t.$a"
    echo $((t3 - t2)) >>"$work/t.$b"
  done
}

# "median min max" of a series' times.
summary() {
  sort -n "$work/t.$1" | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)], v[1], v[NR] }'
}

# A time with its spread: "0.123 s (0.110-0.140)"; microseconds in.
timed() {
  summary "$1" | awk '{ if ($1 >= 100000) printf "%.3f s (%.3f-%.3f)", $1 / 1e6, $2 / 1e6, $3 / 1e6;
    else printf "%.2f ms (%.2f-%.2f)", $1 / 1e3, $2 / 1e3, $3 / 1e3 }'
}

# The ratio of the two medians, with the range of the rounds' own ratios beside it.
ratio_of() {
  local ma mb
  read -r ma _ < <(summary "$1")
  read -r mb _ < <(summary "$2")
  paste "$work/t.$1" "$work/t.$2" | awk -v ma="$ma" -v mb="$mb" '
    { r = $1 / $2; if (NR == 1 || r < lo) lo = r; if (NR == 1 || r > hi) hi = r }
    END { printf "%.2f (%.2f-%.2f)", ma / mb, lo, hi }'
}

header() {
  printf '%-44s | %-28s | %-46s | %-18s | %s\n' "What" "Kwastor median (min-max)" \
    "Baseline median (min-max)" "Ratio (rounds)" "Target"
}

# row WHAT SERIES_A BASELINE_NAME SERIES_B TARGET
row() {
  printf '%-44s | %-28s | %-46s | %-18s | %s\n' "$1" "$(timed "$2")" "$3 $(timed "$4")" \
    "$(ratio_of "$2" "$4")" "$5"
}

# note WHAT TEXT: a row without a pair (a count, a skipped measurement).
note() {
  printf '%-44s | %s\n' "$1" "$2"
}

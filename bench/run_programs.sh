#!/usr/bin/env bash
# Whole-program timings: gencount and gensample against gencount_baseline and
# gensample_baseline (the same programs on the plain per-subset driver of
# baseline_drivers.hpp), and genexact against genexact_baseline (both corners
# by the row minima over all elements), run alternately in a scratch folder holding the table
# files, standard output to a file and Enter from /dev/null.  Prints for each
# case the best wall-clock and CPU (user + system) seconds over the repeats and
# the ratios baseline / fast, all from this one run.
#
#   bench/run_programs.sh [BUILD_DIR [REPEATS [CASE...]]]
#
# BUILD_DIR: a build with -DGENCOUNT_BENCH=ON (default build/bench, made by
# cmake --preset bench); REPEATS: default 3; CASE: e.g. "gencount 4 4" or
# "genexact 6 6 --sample 40" (both estimate the whole run from the same
# units).  The baselines of gencount 4 4 and 3 5 take minutes each.
set -euo pipefail

build=$(cd "${1:-build/bench}" && pwd)
repeats=${2:-3}
shift $(( $# < 2 ? $# : 2 ))
cases=("$@")
if [ ${#cases[@]} -eq 0 ]; then
  cases=("gencount 3 4" "gencount 4 4" "gencount 3 5" "gencount 2 5" "gensample 5 6 20000"
         "genexact 5 5" "genexact 4 6" "genexact 5 6" "genexact 6 6 --sample 40")
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
for k in 1 2 3 4 5 6; do "$build/optables/optables" "$k" >/dev/null; done

# run PROGRAM ARGS...: sets wall and cpu (seconds) and result (its result line).
run() {
  local program=$1
  shift
  local times
  TIMEFORMAT='%R %U %S'
  times=$( { time "$program" "$@" </dev/null >out.txt 2>/dev/null; } 2>&1 )
  read -r wall user sys <<<"$times"
  cpu=$(echo "$user + $sys" | bc)
  result=$(tr '\r' '\n' <out.txt | grep -a -E "has exactly|are generating|Estimated time" | head -1)
  rm -f r-*.txt
}

best() { if [ -z "$1" ] || [ "$(echo "$2 < $1" | bc)" = 1 ]; then echo "$2"; else echo "$1"; fi; }

printf '%-22s %10s %10s %10s %10s %8s %8s\n' case "base wall" "fast wall" "base cpu" "fast cpu" "ratio" "cpu ratio"
for c in "${cases[@]}"; do
  read -r program args <<<"$c"
  bw="" fw="" bc_="" fc=""
  for ((r = 0; r < repeats; r++)); do
    # shellcheck disable=SC2086
    run "$build/bench/${program}_baseline" $args
    bw=$(best "$bw" "$wall"); bc_=$(best "$bc_" "$cpu"); baseResult=$result
    # shellcheck disable=SC2086
    run "$build/$program/$program" $args
    fw=$(best "$fw" "$wall"); fc=$(best "$fc" "$cpu"); fastResult=$result
    if [ "$program" != gensample ] && [ "$baseResult" != "$fastResult" ] && [[ "$args" != *--sample* ]]; then
      echo "results differ: '$baseResult' / '$fastResult'" >&2
      exit 1
    fi
  done
  ratio=$(echo "$bw / $fw" | bc -l)
  # CPU times come in milliseconds; a fast run can show 0.
  if [ "$(echo "$fc > 0" | bc)" = 1 ]; then cpuRatio=$(printf '%7.1fx' "$(echo "$bc_ / $fc" | bc -l)"); else cpuRatio="    n/a"; fi
  printf '%-22s %10.3f %10.3f %10.3f %10.3f %7.1fx %s   %s\n' "$c" "$bw" "$fw" "$bc_" "$fc" "$ratio" "$cpuRatio" "$fastResult"
done

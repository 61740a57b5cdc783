#!/usr/bin/env bash
# The README's cluster recipe with local workers: genexact n m as K shards run
# by GNU parallel, each with its own partial-result file, then --merge; the
# merged count must equal the count of one whole run.
#   genexact_parallel_test.sh <build dir> [n m K]
# Exits 77 (skipped) when GNU parallel is not installed.
set -euo pipefail
bin=$1
n=${2:-4}
m=${3:-5}
k=${4:-3}
if ! command -v parallel >/dev/null 2>&1; then
  echo "SKIP: GNU parallel is not installed (scripts/setup installs Debian's package parallel)"
  exit 77
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
"$bin/optables/optables" --only a "$n"
"$bin/optables/optables" --only b "$m"

count() { sed -n 's/.*has exactly \([0-9]*\) .*/\1/p' | tr -d '\r'; }

whole=$("$bin/genexact/genexact" "$n" "$m" --threads 1 </dev/null | count)
seq 1 "$k" | parallel --will-cite -j 2 "\"$bin/genexact/genexact\" $n $m --threads 1 --shard {}/$k </dev/null >shard-{}.log"
parts=()
for i in $(seq 1 "$k"); do
  parts+=("genexact-$n-$m-shard-$i-of-$k.part")
  grep -q "Shard $i/$k of Part($n)\*Part($m): partial count" "shard-$i.log"
done
merged=$("$bin/genexact/genexact" "$n" "$m" --merge "${parts[@]}" </dev/null | count)
echo "whole run: $whole, $k shards by GNU parallel merged: $merged"
[[ -n $whole && $whole == "$merged" ]]

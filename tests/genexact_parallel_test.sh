#!/usr/bin/env bash
# The README's cluster recipe for GNU parallel, its very text taken from
# README.md, run with local workers (`:` in nodes) and the programs of the
# build on the PATH as an installed genexact would be: genexact n m as K
# shards, then --merge; the merged count must equal the count of one whole
# run.  A second start of the recipe must rerun no shard (its job log).
#   genexact_parallel_test.sh <build dir> [n m K]
# Exits 77 (skipped) when GNU parallel is not installed.
set -euo pipefail
bin=$(cd "$1" && pwd)
n=${2:-4}
m=${3:-5}
k=${4:-3}
here=$(cd "$(dirname "$0")" && pwd)
if ! command -v parallel >/dev/null 2>&1; then
  echo "SKIP: GNU parallel is not installed (scripts/setup installs Debian's package parallel)"
  exit 77
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The recipe: the shell block between the README's markers.
recipe=$(awk '/<!-- cluster recipe: GNU parallel/ { on = 1; next }
              /<!-- end of cluster recipe -->/ { on = 0 }
              on && !/^```/' "$here/../README.md")
[[ $recipe == *"parallel --will-cite"* ]] || { echo "no GNU parallel recipe found in README.md" >&2; exit 1; }
# Only the product and the number of shards are this test's own.
recipe=$(sed "1s/^n=.*/n=$n m=$m K=$k/" <<<"$recipe")

export HOME=$work/home
export PATH=$bin/genexact:$bin/optables:$PATH
mkdir -p "$HOME/genexact-run"
echo ":" >"$HOME/genexact-run/nodes"

count() { sed -n 's/.*has exactly \([0-9]*\) .*/\1/p' | tr -d '\r'; }

merged=$(cd "$work" && bash -euo pipefail -c "$recipe" 2>"$work/recipe.err" | count) || {
  cat "$work/recipe.err" >&2
  exit 1
}
for i in $(seq 1 "$k"); do
  grep -q "Shard $i/$k of Part($n)\*Part($m): partial count" "$HOME/genexact-run/shard-$i.log"
done
whole=$(cd "$HOME/genexact-run" && genexact "$n" "$m" --threads 1 </dev/null | count)
echo "whole run: $whole, $k shards by GNU parallel merged: $merged"
[[ -n $whole && $whole == "$merged" ]]

# Started again, the recipe finds every shard done in its job log and runs
# none of them again: the log keeps its K job lines.
again=$(cd "$work" && bash -euo pipefail -c "$recipe" 2>>"$work/recipe.err" | count)
jobs=$(($(wc -l <"$HOME/genexact-run/shards.log") - 1))
[[ $again == "$merged" && $jobs == "$k" ]] || { echo "the second start ran shards again ($jobs jobs logged)" >&2; exit 1; }

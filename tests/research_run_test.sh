#!/usr/bin/env bash
# scripts/research-run on a small product in a scratch repository: every
# shard's file is committed as it finishes, with the plan file packed beside
# them; a second start finds everything done and commits nothing; the shards
# merge to the known count.
#   research_run_test.sh <build dir> n m K count
set -euo pipefail
bin=$(cd "$1" && pwd)
n=$2 m=$3 k=$4 expected=$5
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
repo=$work/repo
mkdir -p "$repo/scripts" "$repo/results"
cp "$here/../scripts/research-run" "$repo/scripts/"
cd "$repo"
git init -q
git config user.email test@example.invalid
git config user.name test
git commit -q --allow-empty -m start
export GENEXACT=$bin/genexact/genexact OPTABLES=$bin/optables/optables
export RESEARCH_WORK=$work/work RESEARCH_PLANS=$work/plans

scripts/research-run "$n" "$m" "$k" 1 >"$work/run.log" 2>&1 || { cat "$work/run.log" >&2; exit 1; }
grep -q "every shard of Equ($n)xEqu($m) in $k shards is complete" "$work/run.log" || { cat "$work/run.log" >&2; exit 1; }
commits=$(git rev-list --count HEAD)
[[ $commits == $((k + 1)) ]] || { git log --stat >&2; echo "expected $k commits of shards" >&2; exit 1; }
[[ -z $(git status --porcelain --untracked-files=no) ]] || { git status >&2; exit 1; }
# The plan file is packed and committed, and unpacks to the one in use.
git ls-files --error-unmatch results/orbits.plan.xz >/dev/null
cmp <(xz -dc results/orbits.plan.xz) "$work/plans/orbits.plan"
[[ $(wc -l <"results/$n-$m/runs.txt") == "$k" ]]

# Nothing is run or committed again.
scripts/research-run "$n" "$m" "$k" 1 >"$work/again.log" 2>&1
[[ $(git rev-list --count HEAD) == "$commits" ]] || { echo "a second start committed" >&2; exit 1; }
grep -q "shard" "$work/again.log" && ! grep -q "research-run: shard" "$work/again.log"

# A fresh machine: the plan comes from the repository.
rm -rf "$work/plans"
scripts/research-run "$n" "$m" "$k" 1 >/dev/null 2>&1
cmp <(xz -dc results/orbits.plan.xz) "$work/plans/orbits.plan"

cd "results/$n-$m"
"$OPTABLES" "$n" --only a >/dev/null
"$OPTABLES" "$m" --only b >/dev/null
count=$("$GENEXACT" "$n" "$m" --merge genexact-"$n"-"$m"-shard-*-of-"$k".part </dev/null |
  sed -n 's/.*has exactly \([0-9]*\) .*/\1/p')
[[ $count == "$expected" ]] || { echo "merged $count, expected $expected" >&2; exit 1; }
echo "research-run of $n x $m in $k shards: committed shard by shard, merged to $count"

#!/usr/bin/env bash
# The published form of a count and its recheck, end to end: genexact n m as
# two shards, the unit list made by the merge, then genexact_recheck on every
# unit and on random relations.  A list with one count off by one, or with an
# element whose partition is not its own, must be caught.
#   genexact_recheck_test.sh <build dir> n m
set -euo pipefail
bin=$(cd "$1" && pwd)
n=$2
m=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
"$bin/optables/optables" "$n" --only a >/dev/null
"$bin/optables/optables" "$m" --only b >/dev/null
for i in 1 2; do "$bin/genexact/genexact" "$n" "$m" --shard "$i/2" </dev/null >/dev/null; done
merged=$("$bin/genexact/genexact" "$n" "$m" --units list.txt --merge genexact-$n-$m-shard-*-of-2.part </dev/null |
  sed -n 's/.*has exactly \([0-9]*\) .*/\1/p')
[[ -n $merged ]] || { echo "the merge gave no count" >&2; exit 1; }
listed=$(awk '$1 == "unit" { s += $4 } END { printf "%d", s }' list.txt)
[[ $listed == "$merged" ]] || { echo "the list's counts sum to $listed, the merge to $merged" >&2; exit 1; }

"$bin/genexact/genexact_recheck" "$n" "$m" list.txt --units 100000 --relations 20000 --threads 2 >out.txt || {
  cat out.txt >&2
  echo "the recheck of a sound list failed" >&2
  exit 1
}
grep -q 'all equal to the list' out.txt && grep -q 'within three' out.txt || { cat out.txt >&2; exit 1; }

# One count one higher: the unit's recount differs (status 1).
awk '$1 == "unit" && !done { $4 = $4 + 1; done = 1 } { sub(/\r$/, ""); printf "%s\r\n", $0 }' list.txt >bad.txt
status=0
"$bin/genexact/genexact_recheck" "$n" "$m" bad.txt --units 0 --unit 0 --relations 0 >out.txt || status=$?
[[ $status == 1 ]] && grep -q DIFFERENT out.txt || { cat out.txt >&2; echo "a wrong count got through ($status)" >&2; exit 1; }

# An element named by another partition: refused as a damaged list (status 2).
awk '$1 == "unit" && !done { t = $6; $6 = $7; $7 = t; done = 1 } { sub(/\r$/, ""); printf "%s\r\n", $0 }' list.txt >bad.txt
status=0
"$bin/genexact/genexact_recheck" "$n" "$m" bad.txt --units 1 --relations 0 >out.txt 2>err.txt || status=$?
[[ $status == 2 ]] && grep -q 'element and partition disagree' err.txt || {
  cat out.txt err.txt >&2
  echo "a damaged list got through ($status)" >&2
  exit 1
}
echo "recheck of $n x $m: $merged, every unit and the estimate agree; planted faults caught"

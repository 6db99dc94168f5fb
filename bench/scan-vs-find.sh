#!/bin/sh
# Compares the scan (walk, sort, database write: the seconds= figure that
# varnelo-bench prints) with the wall time of `find DIR ! -type d` on the same
# tree: alternating runs, medians and their ratio.
# Usage: bench/scan-vs-find.sh [TREE [FILE_COUNT [RUNS]]] [-- SCAN_OPTIONS...]
set -eu
here=$(cd "$(dirname "$0")" && pwd)
repo=$(cd "$here/.." && pwd)
tree=/tmp/bench-tree-1m; count=1000000; runs=5
[ $# -gt 0 ] && [ "$1" != "--" ] && { tree=$1; shift; }
[ $# -gt 0 ] && [ "$1" != "--" ] && { count=$1; shift; }
[ $# -gt 0 ] && [ "$1" != "--" ] && { runs=$1; shift; }
[ $# -gt 0 ] && [ "$1" = "--" ] && shift
bench=${VARNELO_BENCH:-$repo/build-bench/bench/varnelo-bench}
maketree=$repo/../shared/bench/make-tree.py

[ -x "$bench" ] || { echo "build it first: ninja -C build-bench varnelo-bench" >&2; exit 1; }
if [ ! -d "$tree" ] || [ -z "$(ls -A "$tree")" ]; then
  python3 "$maketree" "$tree" "$count" --sizes empty
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
db=$work/BDVRN

now() { date +%s.%N; }
# The benchmark runs in the caller's locale; the arithmetic here in C's.
median() { LC_ALL=C sort -n | LC_ALL=C awk '{v[NR]=$1} END {print (NR%2) ? v[(NR+1)/2] : (v[NR/2]+v[NR/2+1])/2}'; }

# Warm the cache once with each.
find "$tree" ! -type d > /dev/null
"$bench" scan "$tree" "$db" "$@" > /dev/null 2>&1

i=1
while [ "$i" -le "$runs" ]; do
  "$bench" scan "$tree" "$db" "$@" > "$work/out" 2> "$work/err"
  line=$(cat "$work/out")
  # The figures follow the locale's decimal mark (a comma in French).
  echo "$line" | tr ',' '.' | sed 's/.*seconds=\([0-9.]*\).*/\1/' >> "$work/scan"
  s=$(now); find "$tree" ! -type d > /dev/null; e=$(now)
  ft=$(LC_ALL=C awk -v s="$s" -v e="$e" 'BEGIN {printf "%.3f", e - s}')
  echo "$ft" >> "$work/find"
  echo "run $i: $line [$(grep -E '^(delete|walk)=' "$work/err")] | find seconds=$ft"
  i=$((i + 1))
done
ms=$(median < "$work/scan")
mf=$(median < "$work/find")
echo "median scan=${ms}s find=${mf}s ratio=$(LC_ALL=C awk -v a="$ms" -v b="$mf" 'BEGIN {printf "%.2f", a / b}')"

#!/bin/sh
# Compares a whole search of WORD over every list of DBDIR (the seconds= of
# `varnelo-bench search`) and its reading and matching alone (`varnelo-bench
# match`) with `grep -F -i -c WORD` over the same records written one per
# line, padding blanks stripped: alternating runs in each locale, medians and
# their ratios. Run it from the folder the stored paths are relative to (the
# search shows only files that exist).
# Usage: bench/search-vs-grep.sh DBDIR [WORD [RUNS [RECORDS_FILE]]]
# VARNELO_BENCH picks the benchmark program; VARNELO_BENCH_OLD adds a second
# one whose search runs beside the first; LOCALES lists the locales.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
repo=$(cd "$here/.." && pwd)
[ $# -ge 1 ] || { sed -n '2,11p' "$0" >&2; exit 2; }
db=$1; word=${2:-readme}; runs=${3:-7}
bench=${VARNELO_BENCH:-$repo/build-bench/bench/varnelo-bench}
old=${VARNELO_BENCH_OLD:-}
locales=${LOCALES:-fr_FR.UTF-8 C.UTF-8}
[ -x "$bench" ] || { echo "build it first: ninja -C build-bench varnelo-bench" >&2; exit 1; }
export QT_QPA_PLATFORM=offscreen LC_ALL=C
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
lines=${4:-$work/records.txt}

if [ ! -s "$lines" ]; then
  python3 - "$db" "$lines" <<'PY'
import os, sys
db, out = sys.argv[1], sys.argv[2]
with open(out, 'wb') as f:
    for name in sorted(os.listdir(db)):
        if name.endswith('.vrn'):
            data = open(os.path.join(db, name), 'rb').read()
            for i in range(0, len(data) - 299, 300):
                f.write(data[i:i + 300].rstrip(b' ') + b'\n')
PY
fi

now() { date +%s.%N; }
median() { sort -n | awk '{v[NR]=$1} END {print (NR%2) ? v[(NR+1)/2] : (v[NR/2]+v[NR/2+1])/2}'; }
seconds() { sed -n 's/.* seconds=\([0-9.]*\).*/\1/p'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN {printf "%.2f", a / b}'; }

for loc in $locales; do
  rm -f "$work/grep" "$work/search" "$work/match" "$work/old"
  # Warm the cache once with each.
  grep -F -i -c "$word" "$lines" > /dev/null || true
  "$bench" match "$db" "$word" > /dev/null 2>&1
  # The programs measured run in the locale; the figures are handled in C.
  i=1
  while [ "$i" -le "$runs" ]; do
    s=$(now); found=$(LC_ALL=$loc grep -F -i -c "$word" "$lines" || true); e=$(now)
    gt=$(awk -v s="$s" -v e="$e" 'BEGIN {printf "%.3f", e - s}')
    echo "$gt" >> "$work/grep"
    search=$(LC_ALL=$loc "$bench" search "$db" "$word" all 2> /dev/null)
    echo "$search" | seconds >> "$work/search"
    match=$(LC_ALL=$loc "$bench" match "$db" "$word" 2> /dev/null)
    echo "$match" | seconds >> "$work/match"
    line="run $i $loc: search $search | match $match | grep found=$found seconds=$gt"
    if [ -n "$old" ]; then
      before=$(LC_ALL=$loc "$old" search "$db" "$word" all 2> /dev/null)
      echo "$before" | seconds >> "$work/old"
      line="$line | old search $before"
    fi
    echo "$line"
    i=$((i + 1))
  done
  mg=$(median < "$work/grep"); ms=$(median < "$work/search"); mm=$(median < "$work/match")
  summary="median $loc: search=${ms}s ($(ratio "$ms" "$mg")x grep) match=${mm}s ($(ratio "$mm" "$mg")x grep) grep=${mg}s"
  if [ -n "$old" ]; then
    mo=$(median < "$work/old")
    summary="$summary old search=${mo}s ($(ratio "$mo" "$mg")x grep)"
  fi
  echo "$summary"
done

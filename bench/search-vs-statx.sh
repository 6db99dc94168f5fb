#!/bin/sh
# Compares a search that finds many rows (the seconds= and max_gap_ms= of
# `varnelo-bench search DBDIR WORD`) with a plain one-thread statx loop over
# the records of every list of DBDIR (`varnelo-bench statx`, summed over the
# lists) and with the load of those lists into the window (`varnelo-bench
# list`, its seconds=, summed): alternating runs in each locale, medians and
# their ratios. Run it from the folder the stored paths are relative to (the
# search shows only files that exist).
# Usage: bench/search-vs-statx.sh DBDIR WORD [RUNS]
# VARNELO_BENCH picks the benchmark program; VARNELO_BENCH_OLD adds a second
# one whose search runs beside the first; LOCALES lists the locales.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
repo=$(cd "$here/.." && pwd)
[ $# -ge 2 ] || { sed -n '2,11p' "$0" >&2; exit 2; }
db=$1; word=$2; runs=${3:-5}
bench=${VARNELO_BENCH:-$repo/build-bench/bench/varnelo-bench}
old=${VARNELO_BENCH_OLD:-}
locales=${LOCALES:-fr_FR.UTF-8 C.UTF-8}
[ -x "$bench" ] || { echo "build it first: ninja -C build-bench varnelo-bench" >&2; exit 1; }
export QT_QPA_PLATFORM=offscreen LC_ALL=C
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
lists=$(cd "$db" && ls -- *.vrn)

median() { sort -n | awk '{v[NR]=$1} END {print (NR%2) ? v[(NR+1)/2] : (v[NR/2]+v[NR/2+1])/2}'; }
field() { sed -n "s/.* $1=\([0-9.]*\).*/\1/p; s/^$1=\([0-9.]*\).*/\1/p"; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN {printf "%.2f", a / b}'; }
# Seconds of one subcommand run over every list of DBDIR, summed.
each_list() {
  sub=$1; total=0
  for l in $lists; do
    if [ "$sub" = statx ]; then arg="$db/$l"; else arg="$db ${l%.vrn}"; fi
    # shellcheck disable=SC2086
    s=$(LC_ALL=$loc "$bench" "$sub" $arg 2> /dev/null | field seconds)
    total=$(awk -v t="$total" -v s="$s" 'BEGIN {printf "%.3f", t + s}')
  done
  echo "$total"
}

for loc in $locales; do
  rm -f "$work"/*
  # Warm the cache once.
  each_list statx > /dev/null
  i=1
  while [ "$i" -le "$runs" ]; do
    search=$(LC_ALL=$loc "$bench" search "$db" "$word" all 2> /dev/null)
    echo "$search" | field seconds >> "$work/search"
    echo "$search" | field max_gap_ms >> "$work/gap"
    st=$(each_list statx); echo "$st" >> "$work/statx"
    li=$(each_list list); echo "$li" >> "$work/list"
    line="run $i $loc: search $search | statx seconds=$st | list seconds=$li"
    if [ -n "$old" ]; then
      before=$(LC_ALL=$loc "$old" search "$db" "$word" all 2> /dev/null)
      echo "$before" | field seconds >> "$work/old"
      line="$line | old search $before"
    fi
    echo "$line"
    i=$((i + 1))
  done
  ms=$(median < "$work/search"); mt=$(median < "$work/statx"); ml=$(median < "$work/list")
  mg=$(sort -n "$work/gap" | tail -n 1)
  summary="median $loc: search=${ms}s ($(ratio "$ms" "$mt")x statx, $(ratio "$ms" "$ml")x list load, longest gap ${mg} ms) statx=${mt}s list=${ml}s"
  if [ -n "$old" ]; then
    mo=$(median < "$work/old")
    summary="$summary old search=${mo}s ($(ratio "$mo" "$mt")x statx)"
  fi
  echo "$summary"
done

#!/bin/bash
# Runs the benchmarks of two builds side by side, alternating old and new for each round, and the
# command `morvane import` on one level under /usr/bin/time (seconds, peak memory).
#   bench/compare_bench.sh OLD_BENCH_BUILD NEW_BENCH_BUILD LEVEL.jkl [ROUNDS]
# The builds are binary folders of the bench preset (holding morvane and bench/bench_*).
set -u
old=$(readlink -f "$1"); new=$(readlink -f "$2")
level=$(readlink -f "$3"); rounds=${4:-3}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
printf 'OutputTexFormat=tga\r\n' > "$work/m.ini"
for round in $(seq "$rounds"); do
  for side in old new; do
    build=${!side}
    echo "== round $round, $side"
    "$build/bench/bench_import" "$level" 2>&1 | grep -E "^  import:|Loading Brushes|Converting Sectors"
    "$build/bench/bench_brush" 2>&1 | tail -n 3
    "$build/bench/bench_align" 2>&1 | grep -iE "hand-off|align" | head -n 4
    "$build/bench/bench_preview" 2>&1 | grep -E "whole command|reading and conversion"
    (cd "$work" && mkdir -p game && /usr/bin/time -f "  morvane import: %e s, peak %M KB" "$build/morvane" import \
      "$level" --settings m.ini --game-dir game --map x.map > /dev/null 2> err.txt; tail -n 1 err.txt)
  done
done

#!/bin/bash
# The crafted levels of bench/crafted_levels.py imported plain and with --game-ready by each
# given morvane: processor seconds and peak memory per import. A run is stopped after LIMIT
# seconds of processor time (300 by default) or at MEMORY KB of address space (2,000,000):
# "stop" when it was, "fail" when the import failed.
#   bench/crafted.sh MORVANE [MORVANE...]
set -u
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
python3 "$here/crafted_levels.py" "$work/levels" || exit 1
printf '%-16s %8s' level KB
for bin in "$@"; do printf '   %-30s' "$(basename "$bin"): plain | game-ready"; done
printf '\n'
for level in "$work"/levels/*.jkl; do
  printf '%-16s %8d' "$(basename "$level" .jkl)" $(( $(stat -c %s "$level") / 1024 ))
  for bin in "$@"; do
    for opt in "" --game-ready; do
      rm -rf "$work/out" && mkdir -p "$work/out"
      ( ulimit -t "${LIMIT:-300}" -v "${MEMORY:-2000000}"
        /usr/bin/time -f '%U %S %M' -o "$work/time" "$bin" import "$level" --game-dir "$work/out/g" \
          --map "$work/out/x.map" $opt > /dev/null 2>&1 )
      read -r u s m < <(tail -1 "$work/time")
      if grep -q "Command terminated" "$work/time"; then
        printf '   %6s %6s' "stop" "-"
      elif grep -q "non-zero" "$work/time"; then
        printf '   %6s %6s' "fail" "-"
      else
        printf '   %5.2fs %4dMB' "$(echo "$u + $s" | bc)" $((m / 1024))
      fi
    done
  done
  printf '\n'
done

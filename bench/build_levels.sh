#!/usr/bin/env bash
# bench/build_levels.sh [MORVANE] : `morvane build` of corpus levels, end to end, with each
# stage's time. Default levels: lagoon (models, water, sky), fallenone and the waveeffect
# container; LEVELS="name|path ..." picks others (path below the corpus). A loose level gets the
# corpus models beside it (3do/ and mat/, as bench/models.sh lays them out) so that its things
# find their models.
# Q3MAP2 names the compiler (default /work/tools/q3build/install/q3map2, else q3map2 on the PATH);
# FAST=1 builds with --fast. WORK (default /tmp/build_levels) keeps every game folder and log.
# Per level: the stage lines of `morvane build`, the .pk3's entry count, and the images the
# compiler did not find that the import converted (must be none).
set -u
here=$(cd "$(dirname "$0")/.." && pwd)
morvane=$(readlink -f "${1:-$here/build/native/morvane}")
corpus=$(readlink -f "${CORPUS:-$here/../shared/corpus}")
q3map2=${Q3MAP2:-/work/tools/q3build/install/q3map2}
[ -x "$q3map2" ] || q3map2=$(command -v q3map2 || true)
[ -x "$q3map2" ] || { echo "build_levels.sh: no q3map2 (set Q3MAP2)" >&2; exit 2; }
work=${WORK:-/tmp/build_levels}
levels=${LEVELS:-"lagoon|more/levels/lagoon/jkl/lagoon.jkl fallenone|more/levels/fallenone/jkl/fallenone.jkl waveeffect|more/containers/waveeffect.gob"}
fast=(); [ "${FAST:-0}" = 1 ] && fast=(--fast)
rm -rf "$work"; mkdir -p "$work"
for item in $levels; do
  n=${item%%|*}; src=$corpus/${item#*|}
  [ -f "$src" ] || { echo "$n: not in the corpus"; continue; }
  dir=$work/$n; mkdir -p "$dir"
  extra=()
  case "$src" in
    *.gob|*.goo) input=$src; extra=(--entry "$n") ;;
    *)
      mkdir -p "$dir/level/jkl" "$dir/level/3do"
      ln -s "$src" "$dir/level/jkl/$n.jkl"
      own=$(dirname "$(dirname "$src")")/mat
      [ -d "$own" ] && ln -s "$own" "$dir/level/jkl/mat"
      ln -s "$corpus/models/mat" "$dir/level/mat"
      for f in "$corpus"/models/3do/*; do ln -s "$f" "$dir/level/3do/$(basename "$f")"; done
      [ "$n" = lagoon ] && ln -sf "$corpus/models/3do/masspack_palm.3do" "$dir/level/3do/palm.3do"
      input=$dir/level/jkl/$n.jkl ;;
  esac
  (cd "$dir" && "$morvane" build "$input" "${extra[@]}" "${fast[@]}" --game-dir game \
     --settings /dev/null --q3map2 "$q3map2" >out.txt 2>err.txt)
  echo "$n: exit $?"
  grep "^build " "$dir/out.txt"
  pk3=$(ls "$dir"/*.pk3 2>/dev/null | head -1)
  [ -n "$pk3" ] && echo "$n: $(unzip -Z1 "$pk3" | wc -l) entries in $(basename "$pk3")"
done

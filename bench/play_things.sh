#!/usr/bin/env bash
# play_things.sh [MORVANE] [WORKDIR]
# What the corpus levels' things become with --game-ready (which plays them: --play), by hand:
# per level the things, those whose line carries frames, the movers written by kind (doors,
# trains), pickups, actors and team entities, the pickups by JK2 class over all levels, and every
# thing that stayed as it was with its reason (morvane's console lines). With COMPILE=1 each map
# goes through ../shared/tools/q3map2/compile.sh --vis: compiled, leaked, the BSP's brush models.
# Loose levels are imported as unpacked ones, beside the corpus models (as bench/models.sh does).
# ONLY=REGEX: only the levels whose name matches. MORVANE defaults to build/native/morvane.
set -u
here=$(cd "$(dirname "$0")/.." && pwd)
morvane=$(readlink -f "${1:-$here/build/native/morvane}")
work=${2:-/tmp/play_things}
corpus=$(readlink -f "${CORPUS:-$here/../shared/corpus}")
compile=${COMPILE_SH:-$here/../shared/tools/q3map2/compile.sh}
export ASAN_OPTIONS=detect_leaks=0
rm -rf "$work"
mkdir -p "$work"

levels="demo_2|models/jkl/demo_2.jkl
random|models/jkl/random.jkl
test1|models/jkl/test1.jkl
tropicalisland|models/jkl/tropicalisland.jkl
waveeffect|models/jkl/waveeffect.jkl
lop_sabers|jkl/lop_sabers.jkl
azulcity|jkl/azulcity.jkl
canyon_camera|jkl/canyon_camera.jkl
desolation|jkl/desolation.jkl
jmmcjk|jkl/jmmcjk.jkl
rotdoor1|jkl/rotdoor1.jkl
round|jkl/round.jkl
vanilla|jkl/vanilla.jkl
Untitled|jkl/Untitled.jkl
wayrest|more/levels/wayrest/jkl/wayrest.jkl
lagoon|more/levels/lagoon/jkl/lagoon.jkl
project|more/levels/project/jkl/project.jkl
deep|more/levels/deep/jkl/deep.jkl
fragith|more/levels/fragith/jkl/fragith.jkl
fallenone|more/levels/fallenone/jkl/fallenone.jkl
murkyfate|more/levels/murkyfate/jkl/murkyfate.jkl
keytest|more/levels/keytest/jkl/keytest.jkl
goaldemo|more/levels/goaldemo/jkl/goaldemo.jkl"

printf '%-15s %6s %6s %5s %6s %7s %6s %5s' level things frames doors trains pickups actors team
[ "${COMPILE:-0}" = 1 ] && printf ' %-8s %-6s %6s' compile leaked bmodels
printf '\n'
: >"$work/stayed.txt"
: >"$work/pickups.txt"
while IFS='|' read -r n path; do
  [[ "$n" =~ ${ONLY:-.} ]] || continue
  src=$corpus/$path
  [ -f "$src" ] || { echo "$n: not in the corpus"; continue; }
  dir=$work/$n
  mkdir -p "$dir/jkl" "$dir/3do" "$dir/game/GameData/base/maps"
  ln -s "$src" "$dir/jkl/$n.jkl"
  own=$(dirname "$(dirname "$src")")/mat
  [ -d "$own" ] && ln -s "$own" "$dir/jkl/mat"
  ln -s "$corpus/models/mat" "$dir/mat"
  for f in "$corpus"/models/3do/*; do ln -sf "$f" "$dir/3do/$(basename "$f")"; done
  map=$dir/game/GameData/base/maps/$n.map
  "$morvane" import "$dir/jkl/$n.jkl" --game-dir "$dir/game" --settings /dev/null --map "$map" \
    --game-ready >"$dir/out.txt" 2>"$dir/err.txt" || { echo "$n: import failed"; continue; }
  things=$(awk 'tolower($0) ~ /^section: things/{t=1;next} tolower($0) ~ /^section:/{t=0} t && /^[0-9]+:/' "$src" | wc -l)
  frames=$(awk 'tolower($0) ~ /^section: things/{t=1;next} tolower($0) ~ /^section:/{t=0} t && /^[0-9]+:/ && gsub(/frame=\(/, "&") >= 2' "$src" | wc -l)
  read -r doors trains pickups actors team <<<"$(sed -n 's/.*Things that play: \([0-9]*\) doors, \([0-9]*\) trains, \([0-9]*\) pickups, \([0-9]*\) actors, \([0-9]*\) team.*/\1 \2 \3 \4 \5/p' "$dir/out.txt")"
  printf '%-15s %6s %6s %5s %6s %7s %6s %5s' "$n" "$things" "$frames" "${doors:--}" "${trains:--}" "${pickups:--}" "${actors:--}" "${team:--}"
  sed -n "s/^Morvane: \([0-9]*\) things stay as they were: \(.*\)/\1|\2/p" "$dir/out.txt" |
    while IFS='|' read -r k why; do echo "$n|$k|$why"; done >>"$work/stayed.txt"
  grep -o '"classname" "\(weapon\|ammo\|item\)_[a-z_]*"' "$map" | sed 's/"classname" //; s/"//g' >>"$work/pickups.txt"
  if [ "${COMPILE:-0}" = 1 ]; then
    line=$(Q3MAP2=${Q3MAP2:-$here/../tools/q3build/install/q3map2} "$compile" --vis "$map" 2>&1 | tail -1)
    ok=$(grep -o 'compile [a-zA-Z(0-9)]*' <<<"$line" | head -1 | cut -d' ' -f2)
    leak=$(grep -o 'leaked [a-z-]*' <<<"$line" | cut -d' ' -f2)
    bm=$(python3 - "${map%.map}.bsp" <<'PY'
import struct, sys
try:
    d = open(sys.argv[1], 'rb').read()
    o, n = struct.unpack_from('<ii', d, 8 + 8 * 7)
    print(n // 40)
except OSError:
    print('-')
PY
)
    printf ' %-8s %-6s %6s' "${ok:--}" "${leak:--}" "$bm"
  fi
  printf '\n'
done <<<"$levels"

echo
echo "== things that stayed as they were, by reason (all levels)"
awk -F'|' '{s[$3]+=$2} END{for (r in s) printf "%6d  %s\n", s[r], r}' "$work/stayed.txt" | sort -rn
echo
echo "== per level"
awk -F'|' '{printf "%-15s %5d  %s\n", $1, $2, $3}' "$work/stayed.txt"
echo
echo "== pickups by JK2 class (all levels)"
sort "$work/pickups.txt" | uniq -c | sort -rn

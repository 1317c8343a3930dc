#!/usr/bin/env bash
# seal_compile.sh [MORVANE] [WORKDIR]
# Imports the 21 corpus levels twice, with --entities --clean and with --game-ready, compiles
# each map with the JK2 map compiler (../shared/tools/q3map2/compile.sh; vis for the game-ready
# maps) one after another, and prints one table row per level:
#   level, detail and structural brushes, shell boxes, leaked, dropped brushes, malformed
#   brushes, "entity in solid" (compiler / buried in a slab per morvane / player starts among
#   them), bsp and vis seconds, visible share of the level, then the --entities --clean map's
#   leak and bsp seconds.
# MORVANE defaults to build/asan/morvane; MORVANE_BASE, when set, imports the --entities --clean
# maps (an older build, say). Run by hand: it takes minutes and both cores.
set -u
here=$(cd "$(dirname "$0")/.." && pwd)
morvane=${1:-$here/build/asan/morvane}
base=${MORVANE_BASE:-$morvane}
work=${2:-/tmp/seal_compile}
corpus=${CORPUS:-$here/../shared/corpus}
compile=$here/../shared/tools/q3map2/compile.sh
levels="Untitled azulcity canyon_camera deep demo_2 desolation fallenone fragith goaldemo jmmcjk
        keytest lagoon lop_sabers murkyfate project random rotdoor1 round tropicalisland vanilla
        wayrest"
export ASAN_OPTIONS=detect_leaks=0

rm -rf "$work"
mkdir -p "$work/today/GameData/base/maps" "$work/ready/GameData/base/maps"
: >"$work/settings.ini"
printf '%-15s %7s %6s %6s %-6s %4s %4s %-9s %7s %6s %6s | %-6s %7s\n' level detail struct shell \
  leaked drop malf solid bsp_s vis_s vis% today today_s
sum_ready=0; sum_today=0; sealed=0; vised=0; count=0
for n in $levels; do
  jkl=$corpus/jkl/$n.jkl
  [ -f "$jkl" ] || jkl=$corpus/more/levels/$n/jkl/$n.jkl
  [ -f "$jkl" ] || { echo "$n: not in the corpus"; continue; }
  count=$((count + 1))
  today=$work/today/GameData/base/maps/$n.map
  ready=$work/ready/GameData/base/maps/$n.map
  "$base" import "$jkl" --game-dir "$work/today" --settings "$work/settings.ini" --map "$today" \
    --entities --clean >"$work/$n.today.out" 2>&1
  "$morvane" import "$jkl" --game-dir "$work/ready" --settings "$work/settings.ini" --map "$ready" \
    --game-ready >"$work/$n.ready.out" 2>&1

  t0=$(date +%s.%N)
  r=$("$compile" --vis "$ready")
  t1=$(date +%s.%N)
  b=$("$compile" "$today")
  echo "$r" >>"$work/compile.txt"
  echo "$b" >>"$work/compile.txt"

  field() { sed -n "s/.*$1 \([^ ]*\).*/\1/p" <<<"$2"; }
  bsp=$(field time "$r"); bsp=${bsp%s}
  total=$(awk -v a="$t0" -v b="$t1" 'BEGIN{printf "%.2f", b-a}')
  vis=$(awk -v t="$total" -v b="$bsp" 'BEGIN{printf "%.2f", t-b}')
  kept=$(sed -n 's/.*brushes \([0-9]*\) (\([0-9]*\) detail).*/\1 \2/p' <<<"$r")
  all=${kept% *}; detail=${kept#* }
  dropped=$(sed -n 's/.*(dropped \([-0-9]*\)).*/\1/p' <<<"$r")
  malformed=$(grep -o 'malformed_structural_brush=[0-9]*' <<<"$r" | cut -d= -f2)
  insolid=$(grep -o 'Entity_in_solid=[0-9]*' <<<"$r" | cut -d= -f2)
  buried=$(grep -c 'lies inside slab brush' "$work/$n.ready.out")
  starts=$(grep 'lies inside slab brush' "$work/$n.ready.out" | grep -ci 'walkplayer')
  shell=$(sed -n 's/.*sealed by \([0-9]*\) shell boxes.*/\1/p' "$work/$n.ready.out")
  share=$(sed -n 's/.*Average clusters visible: .*(\([0-9.]*\)%.*/\1/p' \
    "${ready%.map}.vis.log" 2>/dev/null | tail -1)
  visres=$(sed -n 's/.* vis \(.*\)$/\1/p' <<<"$r")
  [ "$visres" = ok ] && vised=$((vised + 1)) || share="-"
  leak=$(field leaked "$r")
  [ "$leak" = no ] && sealed=$((sealed + 1))
  bsp_today=$(field time "$b"); bsp_today=${bsp_today%s}
  sum_ready=$(awk -v a="$sum_ready" -v b="$bsp" 'BEGIN{print a+b}')
  sum_today=$(awk -v a="$sum_today" -v b="$bsp_today" 'BEGIN{print a+b}')
  printf '%-15s %7s %6s %6s %-6s %4s %4s %-9s %7s %6s %6s | %-6s %7s\n' "$n" "$detail" \
    "$((all - detail))" "${shell:-0}" "$leak" "$dropped" "${malformed:-0}" \
    "${insolid:-0}/$buried/$starts" "$bsp" "$vis" "${share:--}" "$(field leaked "$b")" "$bsp_today"
done
echo "sealed $sealed of $count, vis on $vised; bsp total ${sum_ready}s with --game-ready," \
  "${sum_today}s with --entities --clean ($(awk -v a="$sum_today" -v b="$sum_ready" \
  'BEGIN{printf "%.1f", (b > 0) ? a / b : 0}') times faster)"

#!/usr/bin/env bash
# open_worlds.sh [MORVANE] [WORKDIR]
# Imports every corpus level and the generated open levels (bench/gen_levels) with --game-ready,
# compiles each map with ../shared/tools/q3map2/compile.sh --vis, one after another, and prints
# one row per level:
#   level, JKL bytes, import seconds and peak memory (MB, /usr/bin/time -v), map MB, shell boxes,
#   leaked, bsp seconds, vis result, clusters, visible share, vis seconds, the import's lines
#   about the compile's limits.
# Then, unless FULL_VIS=0, the full vis (--full-vis) of jmmcjk, murkyfate and vanilla: clusters,
# visible share, vis seconds.
# With MORVANE_BASE (an older build), each corpus level is also imported and compiled with it right
# after, so that both run under the same load of the machine: its bsp and vis seconds, clusters and
# visible share follow in the row, after "|", and the totals of both close the table.
# MORVANE defaults to build/native/morvane; GEN_LEVELS to build/bench/bench/gen_levels. LEVELS
# (names) picks levels; MEM_MB (4096) and TIMEOUT (900 s) bound each import and each compile, so
# that an older build that cannot seal a level in bounded memory is a row, not a stalled machine.
# Run by hand: it takes long and both cores.
set -u
here=$(cd "$(dirname "$0")/.." && pwd)
morvane=$(readlink -f "${1:-$here/build/native/morvane}")
work=${2:-/tmp/open_worlds}
gen=${GEN_LEVELS:-$here/build/bench/bench/gen_levels}
# The shared folder beside the checkout holds the corpus and the compiler (SHARED overrides it).
shared=${SHARED:-$here/../shared}
corpus=${CORPUS:-$shared/corpus}
compile=$shared/tools/q3map2/compile.sh
[ -x "$compile" ] || { echo "open_worlds.sh: no $compile (set SHARED)"; exit 2; }
mem=${MEM_MB:-4096}
limit=${TIMEOUT:-900}
corpus_levels="Untitled azulcity canyon_camera deep demo_2 desolation fallenone fragith goaldemo
        jmmcjk keytest lagoon lop_sabers murkyfate project random rotdoor1 round tropicalisland
        vanilla wayrest"
generated="open_air islands room254 room510 shared100 slope crowd"
levels=${LEVELS:-$corpus_levels $generated}
export ASAN_OPTIONS=detect_leaks=0

rm -rf "$work"
mkdir -p "$work/gen" "$work/ready/GameData/base/maps"
"$gen" "$work/gen" || { echo "open_worlds.sh: cannot make the generated levels ($gen)"; exit 1; }
: >"$work/settings.ini"

find_level() {
  for f in "$corpus/jkl/$1.jkl" "$corpus/more/levels/$1/jkl/$1.jkl" "$work/gen/$1.jkl"; do
    [ -f "$f" ] && { echo "$f"; return; }
  done
}
field() { sed -n "s/.* $1 \([^ ]*\).*/\1/p" <<<"$2" | head -1; }

base=${MORVANE_BASE:+$(readlink -f "$MORVANE_BASE")}
mkdir -p "$work/base/GameData/base/maps"
printf '%-15s %8s %7s %7s %7s %6s %-6s %7s %-7s %7s %6s %7s  %s%s\n' level jkl_kb imp_s imp_mb \
  map_mb shell leaked bsp_s vis clust vis% vis_s limits "${base:+ | base: bsp_s vis_s clust vis%}"
sum_bsp=0; sum_vis=0; sealed=0; vised=0; count=0; base_bsp=0; base_vis=0; both_bsp=0; both_vis=0
for n in $levels; do
  jkl=$(find_level "$n")
  [ -n "$jkl" ] || { echo "$n: not found"; continue; }
  count=$((count + 1))
  map=$work/ready/GameData/base/maps/$n.map
  mkdir -p "$work/ready" "$work/base"
  out=$work/$n.out
  (ulimit -v $((mem * 1024)); timeout "$limit" /usr/bin/time -v "$morvane" import "$jkl" \
    --game-dir "$work/ready" --settings "$work/settings.ini" --map "$map" --game-ready) \
    >"$out" 2>"$work/$n.time"
  rc=$?
  secs=$(sed -n 's/.*Elapsed (wall clock) time.*: \(.*\)/\1/p' "$work/$n.time" |
    awk -F: '{ if (NF == 3) print $1 * 3600 + $2 * 60 + $3; else print $1 * 60 + $2 }')
  kb=$(sed -n 's/.*Maximum resident set size (kbytes): \([0-9]*\).*/\1/p' "$work/$n.time")
  mb=$(awk -v k="${kb:-0}" 'BEGIN{printf "%.0f", k / 1024}')
  jkb=$(awk -v b="$(stat -c %s "$jkl")" 'BEGIN{printf "%.1f", b / 1024}')
  shell=$(sed -n 's/.*sealed by \([0-9]*\) shell boxes.*/\1/p' "$out")
  limits=$(grep -c "compile will struggle" "$out")
  if [ $rc -ne 0 ] || [ ! -f "$map" ]; then
    why="rc $rc"; [ $rc -eq 124 ] && why="timeout ${limit}s"
    grep -q "std::bad_alloc\|memory" "$work/$n.time" && why="out of memory (${mem} MB)"
    printf '%-15s %8s %7s %7s %7s %6s %-6s %7s %-7s %7s %6s %7s  %s\n' "$n" "$jkb" "$secs" "$mb" \
      - - - - "import failed: $why" - - - -
    continue
  fi
  mapmb=$(awk -v b="$(stat -c %s "$map")" 'BEGIN{printf "%.1f", b / 1048576}')
  r=$(timeout "$limit" "$compile" --vis "$map")
  echo "$r" >>"$work/compile.txt"
  bsp=$(field time "$r"); bsp=${bsp%s}
  leak=$(field leaked "$r")
  visres=$(sed -n 's/.* vis \([a-z(). ]*\)\( clusters.*\)\{0,1\}$/\1/p' <<<"$r" | awk '{print $1}')
  clusters=$(field clusters "$r")
  share=$(field visible "$r"); share=${share%\%}
  vsecs=$(sed -n 's/.*visible [^ ]* \([0-9.]*\)s.*/\1/p' <<<"$r")
  [ -n "$r" ] || { bsp=timeout; visres=-; }
  [ "$leak" = no ] && sealed=$((sealed + 1))
  if [ "$visres" = ok ]; then vised=$((vised + 1)); else share=-; fi
  grep -q "MAX_MAP_VISIBILITY\|MAX_PORTALS\|Leaf with too many" "${map%.map}.vis.log" 2>/dev/null &&
    visres="$visres($(grep -o -m1 'MAX_MAP_VISIBILITY\|MAX_PORTALS\|Leaf with too many' \
      "${map%.map}.vis.log"))"
  sum_bsp=$(awk -v a="$sum_bsp" -v b="${bsp:-0}" 'BEGIN{print a + b}')
  sum_vis=$(awk -v a="$sum_vis" -v b="${vsecs:-0}" 'BEGIN{print a + b}')
  extra=""
  case " $(echo $corpus_levels) " in *" $n "*) in_corpus=1;; *) in_corpus=0;; esac
  if [ -n "$base" ] && [ $in_corpus = 1 ]; then
    bmap=$work/base/GameData/base/maps/$n.map
    "$base" import "$jkl" --game-dir "$work/base" --settings "$work/settings.ini" --map "$bmap" \
      --game-ready >"$work/$n.base.out" 2>&1
    b=$(timeout "$limit" "$compile" --vis "$bmap")
    bb=$(field time "$b"); bb=${bb%s}
    bv=$(sed -n 's/.*visible [^ ]* \([0-9.]*\)s.*/\1/p' <<<"$b")
    extra=" | $bb ${bv:--} $(field clusters "$b") $(field visible "$b")"
    base_bsp=$(awk -v a="$base_bsp" -v b="${bb:-0}" 'BEGIN{print a + b}')
    base_vis=$(awk -v a="$base_vis" -v b="${bv:-0}" 'BEGIN{print a + b}')
    both_bsp=$(awk -v a="$both_bsp" -v b="${bsp:-0}" 'BEGIN{print a + b}')
    both_vis=$(awk -v a="$both_vis" -v b="${vsecs:-0}" 'BEGIN{print a + b}')
  fi
  printf '%-15s %8s %7s %7s %7s %6s %-6s %7s %-7s %7s %6s %7s  %s%s\n' "$n" "$jkb" "$secs" "$mb" \
    "$mapmb" "${shell:-0}" "${leak:--}" "${bsp:--}" "${visres:--}" "${clusters:--}" "${share:--}" \
    "${vsecs:--}" "$limits" "$extra"
done
echo "sealed $sealed of $count, vis ok on $vised; bsp total ${sum_bsp}s, vis total ${sum_vis}s"
[ -n "$base" ] && echo "levels compiled by both: bsp ${both_bsp}s, vis ${both_vis}s; with the base" \
  "build: bsp ${base_bsp}s, vis ${base_vis}s"

[ "${FULL_VIS:-1}" = 0 ] && exit 0
echo "full vis:"
for n in jmmcjk murkyfate vanilla; do
  map=$work/ready/GameData/base/maps/$n.map
  [ -f "$map" ] || { echo "$n: no map"; continue; }
  for m in "$map" ${base:+"$work/base/GameData/base/maps/$n.map"}; do
    [ -f "$m" ] || continue
    r=$(timeout "$limit" "$compile" --full-vis "$m")
    echo "$r" >>"$work/compile.txt"
    who=this; [ "$m" = "$map" ] || who=base
    printf '%-15s %-4s bsp %7ss clusters %6s visible %6s vis %s\n' "$n" "$who" \
      "$(field time "$r" | tr -d s)" "$(field clusters "$r")" "$(field visible "$r")" \
      "$(sed -n 's/.*visible [^ ]* \([0-9.]*s\).*/\1/p' <<<"$r")"
  done
done

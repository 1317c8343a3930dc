#!/usr/bin/env bash
# models.sh [MORVANE] [WORKDIR]
# The corpus levels that place 3DO models, imported with --game-ready (models included), by hand:
#   1. every model of ../shared/corpus/models/3do read, posed and written as an MD3 by
#      `morvane import` on a level of its own (no error, its triangles);
#   2. per level: things, things whose template names a model (player starts aside), of them the
#      things whose model the corpus holds, the misc_models in the map, models written, the
#      triangles of the placed things, models skipped and why (morvane's console lines);
#   3. with COMPILE=1, each map through ../shared/tools/q3map2/compile.sh --vis, and once more
#      without its misc_model entities (bsp only: vis changes no surface): leak or not, and the
#      compiled BSP's triangles with and without the models (the draw surfaces' indexes / 3);
#   4. the import's time with --game-ready against --game-ready without --models (best of 3).
# A loose level is imported as an unpacked one: <work>/<level>/jkl/<level>.jkl beside a 3do
# folder of the corpus models and a mat folder of the models' MATs (--parent-mat), with the
# level's own mat folder as its jkl/mat. The corpus keeps two models called palm.3do under other
# names (masspack_palm.3do, mlp2_palm.3do): each level gets its own as palm.3do.
# ONLY=REGEX: only the levels whose name matches. MORVANE defaults to build/native/morvane; CORPUS and COMPILE_SH name the corpus and the compile
# script when they do not lie beside the clone.
set -u
here=$(cd "$(dirname "$0")/.." && pwd)
morvane=$(readlink -f "${1:-$here/build/native/morvane}")
work=${2:-/tmp/models_bench}
corpus=$(readlink -f "${CORPUS:-$here/../shared/corpus}")
compile=${COMPILE_SH:-$here/../shared/tools/q3map2/compile.sh}
export ASAN_OPTIONS=detect_leaks=0
rm -rf "$work"
mkdir -p "$work"

# level|path|palm (the model that level calls palm.3do, if any)
levels="demo_2|models/jkl/demo_2.jkl|
random|models/jkl/random.jkl|
test1|models/jkl/test1.jkl|
tropicalisland|models/jkl/tropicalisland.jkl|mlp2_palm.3do
waveeffect|models/jkl/waveeffect.jkl|
lop_sabers|jkl/lop_sabers.jkl|
azulcity|jkl/azulcity.jkl|
round|jkl/round.jkl|
vanilla|jkl/vanilla.jkl|
wayrest|more/levels/wayrest/jkl/wayrest.jkl|
lagoon|more/levels/lagoon/jkl/lagoon.jkl|masspack_palm.3do
project|more/levels/project/jkl/project.jkl|
deep|more/levels/deep/jkl/deep.jkl|
fragith|more/levels/fragith/jkl/fragith.jkl|
fallenone|more/levels/fallenone/jkl/fallenone.jkl|
glowdemo|gob/glowdemo.gob|
waveeffect_gob|more/containers/waveeffect.gob|"

# 1. Every corpus model on its own: a level of one sector and one thing of that model.
echo "== every corpus model"
mkdir -p "$work/one/jkl" "$work/one/3do"
ok=0; bad=0; tris=0
for f in "$corpus"/models/3do/*; do
  name=$(basename "$f")
  rm -f "$work/one/3do/"*
  ln -s "$f" "$work/one/3do/$name"
  python3 - "$name" >"$work/one/jkl/one.jkl" <<'EOF'
import sys
print("SECTION: MATERIALS\nWorld materials 1\n0: wall.mat\nend\nSECTION: GEORESOURCE")
print("World vertices 8")
for i, (x, y, z) in enumerate([(0,0,0),(9,0,0),(9,9,0),(0,9,0),(0,0,9),(9,0,9),(9,9,9),(0,9,9)]):
    print(f"{i}: {x} {y} {z}")
print("World texture vertices 1\n0: 0 0\nWorld adjoins 0\nWorld surfaces 6")
quads = [(0,1,2,3),(4,7,6,5),(0,3,7,4),(1,5,6,2),(0,4,5,1),(3,2,6,7)]
for i, q in enumerate(quads):
    print(f"{i}: 0 0x4 0 4 3 0 -1 0 4 " + " ".join(f"{v},0" for v in q) + " 1 1 1 1")
for i, n in enumerate(["0 0 1","0 0 -1","1 0 0","-1 0 0","0 1 0","0 -1 0"]):
    print(f"{i}: {n}")
print("SECTION: SECTORS\nWorld sectors 1\nSECTOR 0\nSURFACES 0 6")
print(f"Section: TEMPLATES\nWorld templates 1\nm none model3d={sys.argv[1]}\nend")
print("SECTION: THINGS\nWorld things 1\n0: m m 4.5 4.5 4.5 0 0 0 0\nend")
EOF
  mkdir -p "$work/one/game"
  out=$("$morvane" import "$work/one/jkl/one.jkl" --game-dir "$work/one/game" --settings /dev/null \
        --map "$work/one/one.map" --entities --models --parent-mat 2>&1)
  if grep -q "1 things placed as models" <<<"$out"; then
    ok=$((ok + 1))
    t=$(sed -n 's/.*placed as models .*), \([0-9]*\) triangles.*/\1/p' <<<"$out")
    tris=$((tris + t))
  else
    bad=$((bad + 1)); echo "  $name: $(grep -m1 "Model '" <<<"$out")"
  fi
done
echo "models read and written: $ok, failed: $bad, triangles $tris"

# BSP triangles: the draw surfaces' indexes / 3 (RBSP surfaces of 148 bytes, lump 13).
bsp_tris() {
  python3 - "$1" <<'EOF'
import struct, sys
try:
    d = open(sys.argv[1], 'rb').read()
except OSError:
    print("-"); sys.exit()
o, n = struct.unpack_from('<ii', d, 8 + 8 * 13)
size = 148 if n % 148 == 0 else 104
print(sum(struct.unpack_from('<i', d, o + k + 24)[0] for k in range(0, n, size)) // 3)
EOF
}

# The map without its misc_model entities.
strip_models() {
  python3 - "$1" "$2" <<'EOF'
import sys
lines = open(sys.argv[1], encoding='latin-1').read().split('\n')
out, depth, block = [], 0, None
for line in lines:
    if depth == 0 and line == '{':
        block = [line]; depth = 1; continue
    if block is not None:
        block.append(line)
        depth += line == '{'
        depth -= line == '}'
        if depth == 0:
            if block[1] != '"classname" "misc_model"': out.extend(block)
            block = None
        continue
    out.append(line)
open(sys.argv[2], 'w', encoding='latin-1').write('\n'.join(out))
EOF
}

# Best of three import times, in seconds.
best_time() {
  local best=""
  for _ in 1 2 3; do
    local t0 t1 s
    t0=$(date +%s.%N); "$@" >/dev/null 2>&1; t1=$(date +%s.%N)
    s=$(awk -v a="$t0" -v b="$t1" 'BEGIN{printf "%.3f", b-a}')
    if [ -z "$best" ] || awk -v a="$s" -v b="$best" 'BEGIN{exit !(a<b)}'; then best=$s; fi
  done
  echo "$best"
}

echo
echo "== levels"
printf '%-15s %6s %6s %6s %6s %5s %6s %-34s' level things model avail placed mdl3 tris skipped
[ "${COMPILE:-0}" = 1 ] && printf ' %-6s %8s %8s %8s' leaked bsp_with bsp_wo diff
printf ' %7s %7s\n' t_ready t_nomod
sum_things=0; sum_model=0; sum_avail=0; sum_placed=0; sum_tris=0
while IFS='|' read -r n path palm; do
  [ -n "$n" ] || continue
  [[ "$n" =~ ${ONLY:-.} ]] || continue
  src=$corpus/$path
  [ -f "$src" ] || { echo "$n: not in the corpus"; continue; }
  dir=$work/$n
  mkdir -p "$dir/game/GameData/base/maps"
  extra=()
  case "$path" in
    *.gob)
      input=$src
      extra=(--entry "$n.jkl")
      [ "$n" = waveeffect_gob ] && extra=(--entry waveeffect.jkl)
      jkltext=$dir/level.jkl
      "$morvane" extract "$src" "jkl\\${extra[1]}" -o "$jkltext" >/dev/null 2>&1
      ;;
    *)
      mkdir -p "$dir/jkl" "$dir/3do"
      ln -s "$src" "$dir/jkl/$n.jkl"
      own=$(dirname "$(dirname "$src")")/mat
      [ -d "$own" ] && ln -s "$own" "$dir/jkl/mat"
      ln -s "$corpus/models/mat" "$dir/mat"
      for f in "$corpus"/models/3do/*; do ln -s "$f" "$dir/3do/$(basename "$f")"; done
      [ -n "$palm" ] && ln -s "$corpus/models/3do/$palm" "$dir/3do/palm.3do"
      input=$dir/jkl/$n.jkl
      jkltext=$src
      ;;
  esac
  map=$dir/game/GameData/base/maps/$n.map
  mkdir -p "$dir/game" "$dir/t1" "$dir/t2"
  "$morvane" import "$input" "${extra[@]}" --game-dir "$dir/game" --settings /dev/null \
    --map "$map" --game-ready >"$dir/out.txt" 2>"$dir/err.txt" || { echo "$n: import failed"; continue; }
  # Things, things with a model (not player starts), and those whose model the corpus holds.
  read -r things withmodel <<<"$(python3 - "$jkltext" <<'EOF'
import sys
lines = [l.split('#')[0].split() for l in open(sys.argv[1], encoding='latin-1')]
templ, things, sec = {}, [], None
for w in lines:
    if not w: continue
    if w[0].lower() == 'section:': sec = w[1].lower() if len(w) > 1 else ''; continue
    if sec == 'templates' and len(w) >= 2 and not w[0].lower() in ('world', 'end'):
        p = dict(x.split('=', 1) for x in w[2:] if '=' in x)
        templ.setdefault(w[0].lower(), (w[1].lower(), p))
    if sec == 'things' and w[0].endswith(':') and w[0][:-1].isdigit() and len(w) > 2:
        things.append(w[1].lower())
def param(t, k, seen=()):
    while t in templ and t not in seen:
        seen += (t,); base, p = templ[t]
        for kk, v in p.items():
            if kk.lower() == k: return v
        t = base
    return None
n = 0
for t in things:
    m = param(t, 'model3d'); ty = (param(t, 'type') or '').lower()
    if m and m.lower() != 'none' and ty != 'player' and t != 'walkplayer': n += 1
print(len(things), n)
EOF
)"
  skipped=$(grep "Model '" "$dir/out.txt" | sed -n "s/.*Model '\(.*\)' skipped (\([0-9]*\) things): \(.*\)/\1:\2:\3/p")
  missing=$(awk -F: '{s+=$2} END{print s+0}' <<<"$skipped")
  avail=$((withmodel - missing))
  placed=$(grep -c '"classname" "misc_model"' "$map")
  written=$(grep -c "Saved: .*models/" "$dir/out.txt")
  tris=$(sed -n 's/.*placed as models .*), \([0-9]*\) triangles.*/\1/p' "$dir/out.txt")
  why=$(awk -F: '{r=$3; sub(/ \(.*/, "", r); c[r]+=$2} END{for (k in c) printf "%s%d %s", (n++?", ":""), c[k], k}' <<<"$skipped")
  printf '%-15s %6s %6s %6s %6s %5s %6s %-34s' "$n" "$things" "$withmodel" "$avail" "$placed" \
    "$written" "${tris:-0}" "${why:--}"
  if [ "${COMPILE:-0}" = 1 ]; then
    strip_models "$map" "${map%.map}_nomodels.map"
    r=$("$compile" --vis "$map")
    "$compile" "${map%.map}_nomodels.map" >/dev/null  # vis changes no surface
    leak=$(sed -n 's/.*leaked \([^ ]*\).*/\1/p' <<<"$r")
    with=$(bsp_tris "${map%.map}.bsp"); without=$(bsp_tris "${map%.map}_nomodels.bsp")
    echo "$r" >>"$work/compile.txt"
    printf ' %-6s %8s %8s %8s' "$leak" "$with" "$without" \
      "$( [ "$with" != - ] && [ "$without" != - ] && echo $((with - without)) || echo -)"
  fi
  ready=$(best_time "$morvane" import "$input" "${extra[@]}" --game-dir "$dir/t1" \
    --settings /dev/null --map "$dir/t1.map" --game-ready)
  nomod=$(best_time "$morvane" import "$input" "${extra[@]}" --game-dir "$dir/t2" \
    --settings /dev/null --map "$dir/t2.map" --entities --clean --align --seal --fit-world \
    --adjoins --shaders --level-palette --parent-mat)
  printf ' %7s %7s\n' "$ready" "$nomod"
  sum_things=$((sum_things + things)); sum_model=$((sum_model + withmodel))
  sum_avail=$((sum_avail + avail)); sum_placed=$((sum_placed + placed))
  sum_tris=$((sum_tris + ${tris:-0}))
done <<<"$levels"
echo "all: $sum_things things, $sum_model with a model, $sum_avail of them available," \
  "$sum_placed placed as misc_model, $sum_tris triangles"

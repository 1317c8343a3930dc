#!/bin/bash
# What the game-look options give on the corpus: imports every level with --adjoins --shaders
# --level-palette and SearchParentMat=1, straight from where it lies (a loose level's "mat"
# folder is its sibling; --entities so that the compiler has a place to start from), then reports per level and in all:
#   - drawn adjoin surfaces that became brushes (morvane's console line), against the surfaces
#     a separate reading of the JKL text finds drawn (adjoin, material and geometry mode set);
#   - textures written, against the MAT files of the level's sibling mat folder it uses;
#   - with COMPILE=1, sky faces in the map and sky surfaces in the compiled BSP (shaders whose
#     surface flags carry the compiler's sky bit), compiled by the q3map2 script without meta.
#   bench/game_look.sh MORVANE [CORPUS_DIR]      (ONLY=REGEX: only the levels whose path matches)
set -u
bin=$(readlink -f "$1")
corpus=$(readlink -f "${2:-$(dirname "$0")/../../shared/corpus}")
compile=$(readlink -f "$(dirname "$0")/../../shared/tools/q3map2/compile.sh")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Drawn adjoin surfaces of a JKL text, and the used materials its sibling mat folder holds.
jkl_facts() {  # jkl_facts LEVEL
  python3 - "$1" <<'EOF'
import os, re, sys
path = sys.argv[1]
lines = [l.split('#')[0].split() for l in open(path, encoding='latin-1')]
mats, drawn, used, i = [], 0, set(), 0
while i < len(lines):
    w = lines[i]
    if len(w) >= 3 and w[0].lower() == 'world' and w[1].lower() == 'materials':
        n = int(re.sub(r'\D', '', w[2])); i += 1
        while i < len(lines) and len(mats) < n:
            if lines[i] and lines[i][0].lower() == 'end': break
            if lines[i] and lines[i][0] == '%d:' % len(mats): mats.append(lines[i][1])
            i += 1
    if len(w) >= 3 and w[0].lower() == 'world' and w[1].lower() == 'surfaces':
        n = int(re.sub(r'\D', '', w[2])); k = 0; i += 1
        while i < len(lines) and k < n:
            s = lines[i]; i += 1
            if not s or s[0] != '%d:' % k: continue
            k += 1
            m, geo, adj = int(s[1]), int(s[4], 0), int(s[7])
            if m >= 0: used.add(mats[m].lower())
            if adj != -1 and m != -1 and geo != 0: drawn += 1
        break
    i += 1
matdir = os.path.join(os.path.dirname(os.path.dirname(path)), 'mat')
held = {f.lower() for f in os.listdir(matdir)} if os.path.isdir(matdir) else set()
print(drawn, len(used & held))
EOF
}

# Sky surfaces of a compiled BSP (draw surfaces whose shader has the sky surface flag), and its
# brushes that are not solid (their contents shader lacks the solid bit).
bsp_sky() {  # bsp_sky FILE.bsp
  python3 - "$1" <<'EOF'
import struct, sys
d = open(sys.argv[1], 'rb').read()
def lump(i): o, n = struct.unpack_from('<ii', d, 8 + 8 * i); return d[o:o + n]
sh = lump(1); flags = [struct.unpack_from('<i', sh, k + 64)[0] for k in range(0, len(sh), 72)]
contents = [struct.unpack_from('<i', sh, k + 68)[0] for k in range(0, len(sh), 72)]
su = lump(13); size = 148 if len(su) % 148 == 0 else 104
br = lump(8)  # brushes: first side, side count, the shader that gives their contents
print(sum(1 for k in range(0, len(su), size) if flags[struct.unpack_from('<i', su, k)[0]] & 0x2000),
      sum(1 for k in range(0, len(br), 12) if not contents[struct.unpack_from('<i', br, k + 8)[0]] & 1))
EOF
}

tot_drawn=0; tot_brushed=0; tot_held=0; tot_saved=0; tot_skyf=0; tot_skyb=0; tot_pass=0
run() {  # run LEVEL [ENTRY]
  [[ "$1${2:-}" =~ ${ONLY:-.} ]] || return 0
  local level=$1 entry=${2:-} out=$work/run && rm -rf "$out" && mkdir -p "$out/game/GameData/base/maps"
  printf 'OutputTexFormat=tga\r\nSearchParentMat=1\r\n' > "$out/m.ini"
  local args=(import "$level" --game-dir "$out/game" --settings "$out/m.ini"
              --map "$out/game/GameData/base/maps/x.map" --adjoins --shaders --level-palette --entities)
  [ -n "$entry" ] && args+=(--entry "$entry")
  "$bin" "${args[@]}" > "$out/console.txt" 2> /dev/null
  local brushed saved drawn=- held=- skyf=- skyb=- passable=-
  brushed=$(sed -n 's/^Morvane: \([0-9]*\) drawn adjoin surfaces became.*/\1/p' "$out/console.txt")
  saved=$(grep -c '^Morvane: Saved: .*\.tga$' "$out/console.txt")
  if [ -z "$entry" ]; then
    read -r drawn held < <(jkl_facts "$level")
  else
    mkdir -p "$out/x/jkl" && "$bin" extract "$level" "$entry" -o "$out/x/jkl/x.jkl" > /dev/null 2>&1
    read -r drawn held < <(jkl_facts "$out/x/jkl/x.jkl")
  fi
  tot_drawn=$((tot_drawn + drawn)); tot_held=$((tot_held + held))
  tot_brushed=$((tot_brushed + ${brushed:-0})); tot_saved=$((tot_saved + saved))
  if [ "${COMPILE:-0}" = 1 ] && [ -f "$out/game/GameData/base/maps/x.map" ]; then
    # Front faces (a brush's first face line) with the sky flag.
    skyf=$(awk '/^\{/ {b = 1; next} b && /^\(/ {if ($(NF-1) == 4) n++; b = 0} END {print n+0}' \
      "$out/game/GameData/base/maps/x.map")
    "$compile" --no-meta "$out/game/GameData/base/maps/x.map" > /dev/null 2>&1
    read -r skyb passable < <([ -f "$out/game/GameData/base/maps/x.bsp" ] &&
      bsp_sky "$out/game/GameData/base/maps/x.bsp" || echo none -)
    tot_skyf=$((tot_skyf + skyf))
    [ "$skyb" != none ] && tot_skyb=$((tot_skyb + skyb)) && tot_pass=$((tot_pass + passable))
  fi
  printf '%-40s adjoins %s/%s  textures %s (sibling mat holds %s used)  sky faces %s, in bsp %s  non-solid bsp brushes %s\n' \
    "${level#$corpus/}${entry:+ >> $entry}" "${brushed:-?}" "$drawn" "$saved" "$held" "$skyf" "$skyb" "$passable"
}

while IFS= read -r level; do run "$level"; done < <(find "$corpus" -iname '*.jkl' | LC_ALL=C sort)
while IFS= read -r box; do
  while IFS=$'\t' read -r key _; do run "$box" "$key"; done < <("$bin" list "$box" 'jkl\' 2> /dev/null)
done < <(find "$corpus" \( -iname '*.gob' -o -iname '*.goo' \) | LC_ALL=C sort)
echo "drawn adjoin surfaces brushed $tot_brushed of $tot_drawn found in the levels' text"
echo "textures written $tot_saved; used materials their sibling mat folders hold: $tot_held"
[ "${COMPILE:-0}" = 1 ] && echo "sky front faces in the maps $tot_skyf, sky surfaces in the BSPs $tot_skyb, non-solid BSP brushes $tot_pass"

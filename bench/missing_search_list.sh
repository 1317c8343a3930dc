#!/bin/bash
# Times an import whose ResourceGobs setting lists many containers that do not exist, for a level
# of many materials found nowhere: each missing item should cost one look, not one per material.
#   bench/missing_search_list.sh MORVANE [ITEMS [MATERIALS]]   (default 4000 items, 1000 materials)
set -eu
bin=$(readlink -f "$1"); items=${2:-4000}; materials=${3:-1000}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
python3 - "$work" "$items" "$materials" <<'PY'
import sys
work, items, materials = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
t = ["SECTION: MATERIALS", "World materials %d" % materials]
t += ["%d:\tm%d.mat\t1.0\t1.0" % (i, i) for i in range(materials)]
t += ["end", "SECTION: GEORESOURCE", "World vertices 3", "0: 0 0 0", "1: 1 0 0", "2: 0 1 0",
      "World texture vertices 1", "0: 0 0", "World adjoins 0", "World surfaces %d" % materials]
t += ["%d: %d 0x4 0 4 3 0 -1 0 3 0,0 1,0 2,0" % (i, i) for i in range(materials)]
t += ["%d: 0 0 1" % i for i in range(materials)]
t += ["SECTION: SECTORS", "World sectors 1", "SECTOR 0", "SURFACES 0 %d" % materials,
      "SECTION: THINGS", "World things 0", "end"]
open(work + "/level.jkl", "w").write("\n".join(t) + "\n")
gobs = ",".join("%s/missing%d.gob" % (work, i) for i in range(items))
open(work + "/m.ini", "w").write("Scale=256\r\nBrushDepth=8\r\nResourceGobs=%s\r\n" % gobs)
PY
mkdir -p "$work/game"
start=$(date +%s.%N)
"$bin" import "$work/level.jkl" --game-dir "$work/game" --settings "$work/m.ini" \
  --map "$work/level.map" > "$work/console.txt" 2> /dev/null || true
end=$(date +%s.%N)
printf '%d missing search-list items x %d materials: %.2f s (%s)\n' "$items" "$materials" \
  "$(echo "$end - $start" | bc)" "$(tail -n 1 "$work/console.txt")"

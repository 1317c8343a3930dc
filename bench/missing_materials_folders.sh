#!/bin/bash
# Times an import of a level whose materials are found nowhere, beside a level whose folder, its
# "mat" folder and the sibling "mat" folder (--parent-mat) hold many files: each folder should be
# listed once per import, not once per material.
#   bench/missing_materials_folders.sh MORVANE [MATERIALS [FILES]]   (default 6000, 2000)
set -eu
bin=$(readlink -f "$1"); materials=${2:-6000}; files=${3:-2000}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/lvl/jkl/mat" "$work/lvl/mat"; : > "$work/m.ini"
python3 - "$work" "$materials" "$files" <<'PY'
import sys
work, materials, files = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
t = ["SECTION: MATERIALS", "World materials %d" % materials]
t += ["%d:\tm%d.mat\t1.0\t1.0" % (i, i) for i in range(materials)]
t += ["end", "SECTION: GEORESOURCE", "World vertices 3", "0: 0 0 0", "1: 1 0 0", "2: 0 1 0",
      "World texture vertices 1", "0: 0 0", "World adjoins 0", "World surfaces %d" % materials]
t += ["%d: %d 0x4 0 4 3 0 -1 0 3 0,0 1,0 2,0" % (i, i) for i in range(materials)]
t += ["%d: 0 0 1" % i for i in range(materials)]
t += ["SECTION: SECTORS", "World sectors 1", "SECTOR 0", "SURFACES 0 %d" % materials,
      "SECTION: THINGS", "World things 0", "end"]
open(work + "/lvl/jkl/level.jkl", "w").write("\n".join(t) + "\n")
for folder in ("lvl/jkl", "lvl/jkl/mat", "lvl/mat"):
    for i in range(files):
        open("%s/%s/other%d.txt" % (work, folder, i), "w").close()
PY
mkdir -p "$work/game"
start=$(date +%s.%N)
"$bin" import "$work/lvl/jkl/level.jkl" --game-dir "$work/game" --parent-mat \
  --settings "$work/m.ini" --map "$work/level.map" > "$work/console.txt" 2> /dev/null || true
end=$(date +%s.%N)
printf '%d missing materials, folders of %d files: %.2f s (%s)\n' "$materials" "$files" \
  "$(echo "$end - $start" | bc)" "$(tail -n 1 "$work/console.txt")"

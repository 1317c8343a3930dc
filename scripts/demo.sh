#!/usr/bin/env bash
# The main job on the bundled sample level: sets the machine up, builds the command-line host and
# imports examples/sample/sample.gob exactly as the plug-in's "Import Level..." does, writing a
# Radiant .map file and the converted textures under out/sample/, then draws it as a picture.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake --preset native >/dev/null
cmake --build build/native --target morvane_cli -j"$(nproc)"

out=out/sample
rm -rf "$out"
mkdir -p "$out/game"
cp examples/sample/morvane.ini "$out/morvane.ini"
echo "== morvane import examples/sample/sample.gob"
build/native/morvane import examples/sample/sample.gob --game-dir "$out/game" \
  --settings "$out/morvane.ini" --map "$out/sample.map"
echo "== the .map file: $out/sample.map ($(grep -c '^{' "$out/sample.map") blocks)"
echo "== the textures: $out/game/GameData/base/textures/sample/"
ls -l "$out/game/GameData/base/textures/sample/"
echo "== morvane preview examples/sample/sample.gob: $out/sample.png"
build/native/morvane preview examples/sample/sample.gob --settings "$out/morvane.ini" \
  -o "$out/sample.png"

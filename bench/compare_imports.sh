#!/bin/bash
# Imports every corpus level with two morvane binaries and compares what they wrote: the .map
# bytes, the texture files (names and bytes), the console lines, the standard-error lines and
# the exit status.
#   bench/compare_imports.sh OLD_MORVANE NEW_MORVANE [CORPUS_DIR]
# Loose levels are imported from a copy beside a "mat" folder (the level's own one under
# more/levels, the corpus's mat folder for the others), so that their textures are converted too.
# FORMAT=jpg converts into JPEG instead of TGA; OPTIONS="--align --clean ..." adds import options;
# SETTINGS adds lines to the settings file (such as 'Scale=x\r\nNonVisTex=common/caulk\r\n',
# printf escapes allowed).
# Prints one line per level and "same: N, different: M" at the end; exit status 1 on a difference.
set -u
old=$(readlink -f "$1"); new=$(readlink -f "$2")
corpus=$(readlink -f "${3:-$(dirname "$0")/../../shared/corpus}")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# One import into its own folder; prints the digest of everything it produced.
run() {  # run BINARY OUTDIR LEVEL [ENTRY]
  local bin=$1 out=$2 level=$3 entry=${4:-}
  mkdir -p "$out/game"  # an import refuses a game folder that does not exist
  printf 'OutputTexFormat=%s\r\n'"${SETTINGS:-}" "${FORMAT:-tga}" > "$out/m.ini"
  local args=(import "$level" --game-dir "$out/game" --settings "$out/m.ini" --map "$out/x.map")
  [ -n "$entry" ] && args+=(--entry "$entry")
  read -ra extra <<< "${OPTIONS:-}" && args+=("${extra[@]}")
  (cd "$out" && "$bin" "${args[@]}" 2> stderr.raw | sed "s|$out|OUT|g" > console.txt
   echo "rc=${PIPESTATUS[0]}" >> console.txt; sed "s|$out|OUT|g" stderr.raw > stderr.txt)
  (cd "$out" && { sha256sum console.txt stderr.txt; [ -f x.map ] && sha256sum x.map;
                 [ -d game ] && find game -type f | LC_ALL=C sort | xargs -r sha256sum; }) |
    sha256sum | cut -c1-16
}

same=0; diff=0; n=0
check() {  # check LEVEL [ENTRY]
  n=$((n + 1))
  local a b bytes
  a=$(run "$old" "$work/old$n" "$@"); b=$(run "$new" "$work/new$n" "$@")
  bytes=$( [ -f "$work/new$n/x.map" ] && stat -c %s "$work/new$n/x.map" || echo none)
  local tex=$( [ -d "$work/new$n/game" ] && find "$work/new$n/game" -type f | wc -l || echo 0)
  if [ "$a" = "$b" ]; then same=$((same + 1)); r=same; else diff=$((diff + 1)); r=DIFFERENT; fi
  printf '%-9s %s %s  map=%s bytes  textures=%s  %s%s\n' "$r" "$a" "$b" "$bytes" "$tex" \
    "${1#$work/levels/}" "${2:+ >> $2}"
  rm -rf "$work/old$n" "$work/new$n"
}

# A loose level in a folder of its own, its materials in "mat" beside it.
loose() {  # loose LEVEL MATFOLDER
  local dir=$work/levels/$(basename "$1" .jkl)
  mkdir -p "$dir" && ln -sfn "$1" "$dir/$(basename "$1")" && ln -sfn "$2" "$dir/mat"
  echo "$dir/$(basename "$1")"
}
while IFS= read -r level; do
  mat=$(dirname "$(dirname "$level")")/mat
  [ -d "$mat" ] || mat=$corpus/mat
  check "$(loose "$level" "$mat")"
done < <(find "$corpus" -iname '*.jkl' | LC_ALL=C sort)
while IFS= read -r box; do
  while IFS=$'\t' read -r key _; do check "$box" "$key"; done < <("$new" list "$box" 'jkl\' 2> /dev/null)
done < <(find "$corpus" \( -iname '*.gob' -o -iname '*.goo' \) | LC_ALL=C sort)
echo "same: $same, different: $diff"
[ "$diff" -eq 0 ]

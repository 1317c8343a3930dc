#!/usr/bin/env bash
# The packages of dist/ as a user gets them. The Windows archive unpacked into an empty folder:
# its DLL imports the sample in the editor-like test host under Wine with the brushes that
# morvane makes, both binaries carry the version. The .deb unpacked with dpkg-deb -x: its morvane
# imports the sample as build/asan/morvane does, and its manual page renders without warnings.
set -euo pipefail
cd "$(dirname "$0")/.."
ver=$(sed -n 's/^project(morvane VERSION \([0-9.]*\) .*/\1/p' CMakeLists.txt)
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
(cd dist && sha256sum -c --quiet SHA256SUMS)
# Every settings key the code reads is in the list that README.txt and the manual page show (the
# option table's keys are its rows' second item; the unit tests hold the list to the table too).
for key in $(grep -rhoE '(Values|OnOffSetting|CachedSetting|OnOff)\([^"]*"[A-Za-z]+"|&O::[A-Za-z]+, "[A-Za-z]+"|Key = "[A-Za-z]+"' src | grep -oE '[A-Za-z]+"$' | tr -d '"' | sort -u); do
  grep -q "^$key=" cmake/packaging/settings.txt || { echo "settings key $key missing from cmake/packaging/settings.txt"; exit 1; }
done

mkdir "$tmp/win" && (cd "$tmp/win" && cmake -E tar xf "$OLDPWD/dist/morvane-$ver-win32.zip")
ls "$tmp/win/plugins/morvane.dll" "$tmp/win/morvane.exe" "$tmp/win/README.txt" "$tmp/win/LICENSE" "$tmp/win/third-party" >/dev/null
bash scripts/check-dll.sh "$tmp/win/plugins/morvane.dll"
! i686-w64-mingw32-objdump -p "$tmp/win/morvane.exe" | grep -iE 'DLL Name: (lib|mingw)' || exit 1
MORVANE_TEST_DLL="$tmp/win/plugins/morvane.dll" MORVANE_TEST_EXE="$tmp/win/morvane.exe" scripts/wine-run.sh --gui \
  build/windows/tests/wine/morvane_host_tests.exe --gtest_filter='ImportInTheEditor.SampleFromAContainer*:VersionResource.*'
[ "$(scripts/wine-run.sh "$tmp/win/morvane.exe" --version | tr -d '\r')" = "morvane $ver" ]

dpkg-deb -x "dist/morvane_${ver}_amd64.deb" "$tmp/deb"
[ "$("$tmp/deb/usr/bin/morvane" --version)" = "morvane $ver" ]
# Debian's hardening: the stack protector and fortified calls among the imports, immediate
# binding and read-only relocations in the program's headers.
bin="$tmp/deb/usr/bin/morvane"
for what in __stack_chk_fail '__[a-z]*_chk@'; do
  nm -D "$bin" | grep -E " U $what" >/dev/null || { echo "packages: the .deb's morvane lacks $what"; exit 1; }
done
readelf -d "$bin" | grep -E 'FLAGS.*\bNOW\b|BIND_NOW' >/dev/null || { echo "packages: the .deb's morvane is not bound at start-up"; exit 1; }
readelf -lW "$bin" | grep GNU_RELRO >/dev/null || { echo "packages: the .deb's morvane lacks read-only relocations"; exit 1; }
import() {
  rm -rf "$tmp/game" && mkdir -p "$tmp/game" && cp examples/sample/morvane.ini "$tmp/morvane.ini"
  "$1" import examples/sample/sample.gob --game-dir "$tmp/game" --settings "$tmp/morvane.ini" --map "$2" >/dev/null
}
import "$tmp/deb/usr/bin/morvane" "$tmp/deb.map" && import build/asan/morvane "$tmp/asan.map"
cmp "$tmp/deb.map" "$tmp/asan.map"
warnings=$(MANWIDTH=80 man --warnings=all -l "$tmp/deb/usr/share/man/man1/morvane.1.gz" 2>&1 >/dev/null)
[ -z "$warnings" ] || { echo "$warnings"; exit 1; }
if command -v lintian >/dev/null; then lintian --fail-on error "dist/morvane_${ver}_amd64.deb"; fi
echo "packages: the archive and the .deb of morvane $ver work as unpacked"

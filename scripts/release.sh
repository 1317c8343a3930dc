#!/usr/bin/env bash
# Builds both packages from a fresh configuration into dist/, with their SHA256SUMS:
#   morvane-<version>-win32.zip   the i686 cross-build: plugins/morvane.dll, morvane.exe, texts
#   morvane_<version>_amd64.deb   the native build: /usr/bin/morvane, its manual page and docs
# Sets the machine up first (scripts/setup.sh) unless MORVANE_NO_SETUP=1 says it is done.
set -euo pipefail
cd "$(dirname "$0")/.."
if [ "${MORVANE_NO_SETUP:-0}" != 1 ]; then bash scripts/setup.sh; fi
if [ -n "$(git status --porcelain 2>/dev/null)" ]; then
  echo "release: note: the tree has uncommitted changes; the packages hold them"
fi
rm -rf build/release dist
mkdir -p dist
for preset in windows native; do
  dir=build/release/$preset
  echo "== $preset"
  flags=()
  if [ "$preset" = native ]; then
    # The .deb's binary is built as Debian builds its packages: stack protector, fortified
    # calls, read-only relocations bound at start-up (dpkg-buildflags with every hardening).
    export DEB_BUILD_MAINT_OPTIONS=hardening=+all
    flags=(-DCMAKE_C_FLAGS="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CFLAGS)"
      -DCMAKE_CXX_FLAGS="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)"
      -DCMAKE_EXE_LINKER_FLAGS="$(dpkg-buildflags --get LDFLAGS)")
  fi
  cmake --preset "$preset" -B "$dir" -DMORVANE_TESTS=OFF "${flags[@]}" >/dev/null
  cmake --build "$dir" -j"$(nproc)" --target package
done
cp build/release/windows/morvane-*-win32.zip build/release/native/morvane_*_amd64.deb dist/
cd dist
sha256sum morvane-*-win32.zip morvane_*_amd64.deb >SHA256SUMS
echo "== the packages, in $(pwd):"
ls -l

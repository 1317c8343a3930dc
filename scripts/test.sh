#!/usr/bin/env bash
# Every test: the native build under AddressSanitizer and UndefinedBehaviorSanitizer, then the
# Windows build (DLL, unit tests and the editor-like test host) under Wine, then both packages
# made by scripts/release.sh and tried as unpacked. Sets the machine up first, so it works on a
# fresh Debian 12 machine.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
jobs=$(nproc)

# The map compiler for the end-to-end test of `morvane build`: MORVANE_Q3MAP2 when set, else built
# once (some 3 to 4 minutes on 2 cores) from the source beside the clone; without either that
# test says it skipped.
q3map2=${MORVANE_Q3MAP2:-}
if [ -z "$q3map2" ] && [ -f ../shared/tools/q3map2/build.sh ]; then
  if [ ! -x build/q3map2/install/q3map2 ]; then
    echo "== q3map2 for the test of morvane build (log: build/q3map2.log)"
    mkdir -p build
    bash ../shared/tools/q3map2/build.sh "" "$PWD/build/q3map2" >build/q3map2.log 2>&1 ||
      echo "q3map2 did not build (see build/q3map2.log): the test of morvane build skips"
  fi
  [ -x build/q3map2/install/q3map2 ] && q3map2=$PWD/build/q3map2/install/q3map2
fi

echo "== native build (ASan + UBSan)"
cmake --preset asan -DMORVANE_Q3MAP2="$q3map2" >/dev/null
cmake --build build/asan -j"$jobs"
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
ctest --test-dir build/asan --output-on-failure -j"$jobs"

echo "== Windows build (i686), tests under Wine"
cmake --preset windows >/dev/null
cmake --build build/windows -j"$jobs"
ctest --test-dir build/windows --output-on-failure

echo "== packages (scripts/release.sh into dist/), tried as a user unpacks them"
MORVANE_NO_SETUP=1 bash scripts/release.sh
bash scripts/check-packages.sh

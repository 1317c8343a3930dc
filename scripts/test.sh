#!/usr/bin/env bash
# Every test: the native build under AddressSanitizer and UndefinedBehaviorSanitizer, then the
# Windows build (DLL, unit tests and the editor-like test host) under Wine, then both packages
# made by scripts/release.sh and tried as unpacked. Sets the machine up first, so it works on a
# fresh Debian 12 machine.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
jobs=$(nproc)

echo "== native build (ASan + UBSan)"
cmake --preset asan >/dev/null
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

#!/usr/bin/env bash
# Installs everything the project needs on a fresh Debian 12 machine and builds the static
# i686 libjpeg-turbo that the DLL links. Idempotent: a second run only checks and returns.
# Runs as root, without a terminal and without standard input.
set -euo pipefail
export DEBIAN_FRONTEND=noninteractive
here=$(cd "$(dirname "$0")/.." && pwd)
cache=${MORVANE_CACHE:-/var/cache/morvane}
stamp=$cache/apt-done-v2

sudo_() { if [ "$(id -u)" = 0 ]; then "$@"; else sudo "$@"; fi; }

if [ ! -f "$stamp" ]; then
  sudo_ dpkg --add-architecture i386
  # Debian's source packages: the same sources with the type changed.
  if [ -f /etc/apt/sources.list.d/debian.sources ] && [ ! -f /etc/apt/sources.list.d/debsrc.sources ]; then
    sed -E 's/^Types:[[:space:]]*deb$/Types: deb-src/' /etc/apt/sources.list.d/debian.sources |
      sudo_ tee /etc/apt/sources.list.d/debsrc.sources >/dev/null
  fi
  sudo_ apt-get update -q </dev/null
  sudo_ apt-get install -y -q --no-install-recommends \
    g++ clang cmake make ninja-build pkg-config googletest libgtest-dev libjpeg62-turbo-dev libpng-dev libzip-dev \
    g++-mingw-w64-i686-posix g++-mingw-w64-i686-win32 mingw-w64-i686-dev nasm dpkg-dev \
    xvfb xauth x11-utils clang-format </dev/null
  sudo_ apt-get install -y -q wine wine32:i386 fonts-wine fonts-liberation </dev/null
  sudo_ mkdir -p "$cache"
  sudo_ touch "$stamp"
fi
# Added after the first machines were set up: libpng for the preview.
if ! dpkg -s libpng-dev >/dev/null 2>&1; then
  sudo_ apt-get install -y -q --no-install-recommends libpng-dev </dev/null
fi
# Added for `morvane build`: libzip writes the level's .pk3.
if ! dpkg -s libzip-dev >/dev/null 2>&1; then
  sudo_ apt-get install -y -q --no-install-recommends libzip-dev </dev/null
fi
# The fuzz preset's libFuzzer and sanitizer runtimes: clang only recommends them.
if ! dpkg -s libclang-rt-14-dev >/dev/null 2>&1; then
  sudo_ apt-get install -y -q --no-install-recommends libclang-rt-14-dev </dev/null
fi
# Added for the packages: file (CPack reads the .deb's dependencies through dpkg-shlibdeps and
# file) and man-db (renders the manual page in the package check).
if ! command -v file >/dev/null || ! command -v man >/dev/null; then
  sudo_ apt-get install -y -q --no-install-recommends file man-db </dev/null
fi

# libjpeg-turbo for the DLL, from Debian's source package, the same version as the native one.
jver=$(dpkg-query -W -f='${Version}' libjpeg62-turbo-dev | sed 's/^[0-9]*://')
jdir=$cache/libjpeg-turbo-i686-$jver
if [ ! -f "$jdir/lib/libjpeg.a" ]; then
  work=$(mktemp -d)
  (cd "$work" && apt-get source -q libjpeg-turbo="1:$jver" </dev/null >/dev/null 2>&1 ||
                 apt-get source -q libjpeg-turbo </dev/null >/dev/null)
  src=$(find "$work" -maxdepth 1 -type d -name 'libjpeg-turbo-*' | head -n 1)
  cmake -S "$src" -B "$work/build" -DCMAKE_TOOLCHAIN_FILE="$here/cmake/mingw-i686.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$jdir" -DENABLE_SHARED=OFF -DENABLE_STATIC=ON \
    -DWITH_TURBOJPEG=OFF -DWITH_SIMD=ON -DREQUIRE_SIMD=ON -DCMAKE_C_FLAGS=-fexceptions >/dev/null
  cmake --build "$work/build" -j"$(nproc)" >/dev/null
  cmake --install "$work/build" >/dev/null
  rm -rf "$work"
fi
echo "$jdir" > "$cache/libjpeg-i686.path"
echo "setup: done (libjpeg-turbo i686 in $jdir)"

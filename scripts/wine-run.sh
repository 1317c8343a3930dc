#!/usr/bin/env bash
# Runs a Windows program under Wine in the project's private 32-bit prefix, which is made once
# and kept outside the clone. With --gui first, the program runs inside a virtual X server.
#   scripts/wine-run.sh [--gui] PROGRAM.exe [ARGS...]
set -u
gui=0
if [ "${1:-}" = "--gui" ]; then gui=1; shift; fi
cache=${MORVANE_CACHE:-/var/cache/morvane}
mkdir -p "$cache"
ver=$(wine --version 2>/dev/null | tr -c 'A-Za-z0-9.\n' '_')
export WINEARCH=win32 WINEDEBUG=-all
export WINEPREFIX=${MORVANE_WINEPREFIX:-$cache/wineprefix-$ver}
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
(
  flock 9
  if [ ! -f "$WINEPREFIX/.morvane-ready" ]; then
    rm -rf "$WINEPREFIX"
    wineboot -i </dev/null >/dev/null 2>&1
    # A crash ends the program instead of waiting in a dialog; a virtual desktop keeps window
    # handling fast and independent of any window manager.
    wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
    wine reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f >/dev/null 2>&1
    wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1024x768 /f >/dev/null 2>&1
    wineserver -w
    touch "$WINEPREFIX/.morvane-ready"
  fi
) 9>"$cache/wineprefix.lock"

# A Wine server still running from an earlier program would keep that program's display (or
# none): wait for it to end, so that this program's windows go to this program's X server.
wineserver -w
if [ "$gui" = 1 ]; then
  xvfb-run -a -s '-screen 0 1024x768x24' sh -c 'wine "$@"; rc=$?; wineserver -w; exit $rc' sh "$@" </dev/null
else
  wine "$@" </dev/null
  rc=$?
  wineserver -w
  exit $rc
fi

#!/usr/bin/env bash
# Checks what the editor sees of morvane.dll without loading it: exactly the five entry points,
# undecorated and with no decorated alias, and no runtime DLL of MinGW among its imports.
set -euo pipefail
dll=$1
dump=$(i686-w64-mingw32-objdump -p "$dll")
exports=$(printf '%s\n' "$dump" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' |
  sed -n 's/^[[:space:]]*\[[[:space:]]*[0-9]*\][[:space:]]*//p' | sort | tr '\n' ' ')
want="QERPlug_Dispatch QERPlug_GetCommandList QERPlug_GetFuncTable QERPlug_GetName QERPlug_Init "
if [ "$exports" != "$want" ]; then
  echo "exports: '$exports', expected '$want'"
  exit 1
fi
imports=$(printf '%s\n' "$dump" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr 'A-Z' 'a-z' | sort | tr '\n' ' ')
for dllname in $imports; do
  case "$dllname" in
    advapi32.dll|comctl32.dll|comdlg32.dll|gdi32.dll|kernel32.dll|msvcrt.dll|ole32.dll|shell32.dll|user32.dll) ;;
    *) echo "unexpected import: $dllname"; exit 1 ;;
  esac
done
echo "exports: $exports"
echo "imports: $imports"

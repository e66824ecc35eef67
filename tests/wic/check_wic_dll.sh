#!/bin/sh
# SPDX-License-Identifier: MIT
# Checks brask_wic.dll as Windows loads it: exactly the five COM server exports, undecorated,
# and system DLLs alone among its imports (no MinGW runtime DLL to ship beside it).
#   check_wic_dll.sh OBJDUMP DLL
set -eu
objdump=$1 dll=$2
dump=$($objdump -p "$dll")
exports=$(echo "$dump" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' |
          grep -E '^\s*\[\s*[0-9]' | awk '{print $NF}' | tr '\n' ' ')
want='DllCanUnloadNow DllGetClassObject DllInstall DllRegisterServer DllUnregisterServer '
if [ "$exports" != "$want" ]; then
  echo "FAIL: exports are: $exports"
  exit 1
fi
imports=$(echo "$dump" | grep 'DLL Name:' | awk '{print $3}' | sort -u | tr '\n' ' ')
for library in $imports; do
  case $(echo "$library" | tr 'A-Z' 'a-z') in
    kernel32.dll|advapi32.dll|ole32.dll|oleaut32.dll|shell32.dll|gdi32.dll|user32.dll|\
    msvcrt.dll|windowscodecs.dll|shlwapi.dll) ;;
    *) echo "FAIL: imports $library (all: $imports)"; exit 1 ;;
  esac
done
echo "brask_wic.dll: exports $exports; imports $imports"

#!/bin/sh
# SPDX-License-Identifier: MIT
# Checks a Windows DLL of the plug-in as a host's loader sees it: the image kind (PE32 for the
# 32-bit DLL, PE32+ for the 64-bit one) and machine, a module name equal to the file name, the
# four exports with their ordinals and undecorated names, and KERNEL32.dll as the only
# imported library (no C runtime).
#   check_dll_interface.sh OBJDUMP DLL MODULE_NAME PE32|PE32+
set -eu
objdump=$1 dll=$2 module=$3 kind=$4
dump=$($objdump -p "$dll")
fail() {
  echo "FAIL: $*"
  echo "$dump" | sed -n '/file format/p;/^Magic/p;/DLL Name:/p'
  echo "$dump" | sed -n '/Export Tables/,/^\[Ordinal\/Name Pointer\] Table/p'
  echo "$dump" | sed -n '/^\[Ordinal\/Name Pointer\] Table/,/^$/p' | sed 1d
  exit 1
}

case $kind in
  PE32) magic='010b[[:space:]]+\(PE32\)' format=pei-i386 ;;
  PE32+) magic='020b[[:space:]]+\(PE32\+\)' format=pei-x86-64 ;;
  *) fail "unknown image kind $kind" ;;
esac
echo "$dump" | grep -q "file format $format\$" || fail "not a $format image"
echo "$dump" | grep -Eq "^Magic[[:space:]]+$magic\$" || fail "not $kind"
echo "$dump" | grep -Eq '^[[:space:]]+DLL$' || fail "not marked as a DLL"
echo "$dump" | grep -Eq "^Name [[:space:]]*[0-9a-f]* $(printf '%s' "$module" | sed 's/\./\\./g')\$" ||
  fail "module name is not $module"
echo "$dump" | grep -q 'Ordinal Base[[:space:]]*1$' || fail "ordinal base is not 1"
echo "$dump" | grep -Eq 'Export Address Table[[:space:]]+0*4$' || fail "not exactly four exports"
# The table lists (ordinal - base, name); ordinals 1..4 in alphabetical order.
got=$(echo "$dump" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' | grep -E '^\s*\[\s*[0-9]' |
      sed -E 's/^\s*\[\s*([0-9]+)\]\s+(\S+).*/\1 \2/')
want='0 GetPicture
1 GetPictureInfo
2 GetPluginInfo
3 IsSupported'
[ "$got" = "$want" ] || fail "exports are: $got"
dlls=$(echo "$dump" | grep 'DLL Name:' | awk '{print $3}' | sort -u)
[ "$dlls" = "KERNEL32.dll" ] || fail "imports from: $dlls"
functions=$(echo "$dump" | sed -n '/DLL Name: KERNEL32.dll/,/^$/p' | awk 'NF == 3 && $1 ~ /^[0-9a-f]+$/ {print $3}' |
            sort | tr '\n' ' ')
echo "$module: $kind ($format), module name $module, 4 exports (ordinals 1-4:" \
     "GetPicture GetPictureInfo GetPluginInfo IsSupported), imports KERNEL32.dll only: $functions"

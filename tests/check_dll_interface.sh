#!/bin/sh
# Checks the Windows DLL as a host's loader sees it: module name, the four exports with their
# ordinals and undecorated names, and KERNEL32.dll as the only imported library.
set -eu
objdump=$1
dll=$2
dump=$($objdump -p "$dll")
fail() { echo "FAIL: $*"; echo "$dump" | sed -n '/Export Tables/,/^PE File Base/p'; exit 1; }

echo "$dump" | grep -q '^Name [[:space:]]*[0-9a-f]* if_brask.spi$' || fail "module name is not if_brask.spi"
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
echo "if_brask.spi: module name, 4 exports (ordinals 1-4), imports KERNEL32.dll only"

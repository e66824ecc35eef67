#!/bin/sh
# SPDX-License-Identifier: MIT
# The Windows build of brask, loading the real DLL under wine, must write what the native build
# writes: sample pictures of every mode are made by the native program and converted by both.
# BMPs (the DIB as the plug-in hands it over) must be equal byte for byte. PNGs, written by
# libspng natively and by Windows' own codecs (WIC) on Windows, must be equal pixel for pixel,
# with the same colour type and, for palette pictures, the same colour table.
#   compare_windows_outputs.sh bmp|png NATIVE_BRASK WINDOWS_BRASK RUNNER...
# RUNNER is the command that starts a Windows program (cmake/wine-run win32|win64). Skipped
# (77) when the native program has not been built, or when the runner skips (wine32 where
# 32-bit programs do not run).
set -eu
format=$1 native=$2 windows=$3
shift 3
here=$(cd "$(dirname "$0")" && pwd)
[ -x "$native" ] || { echo "no native brask at $native (build the native preset first)"; exit 77; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
"$native" demo made >/dev/null
"$native" convert made/samples -o native --format "$format" -j 2 >/dev/null
# wine maps the Unix root as a drive, but relative paths keep the arguments plain.
status=0
"$@" "$windows" convert made/samples -o windows --format "$format" -j 2 >log 2>&1 || status=$?
if [ $status -ne 0 ]; then
  cat log
  exit $status
fi
count=0
for expected in native/*."$format"; do
  name=$(basename "$expected")
  if [ "$format" = bmp ]; then
    cmp "$expected" "windows/$name"
  else
    python3 "$here/compare_pngs.py" "$expected" "windows/$name"
  fi
  count=$((count + 1))
done
[ "$count" -ge 12 ] || { echo "only $count pictures were converted"; exit 1; }
[ "$(ls windows | wc -l)" -eq "$count" ] || { echo "the Windows build wrote other files"; ls windows; exit 1; }
if [ "$format" = bmp ]; then
  echo "$count BMPs identical"
else
  echo "$count PNGs with identical pixels, colour types and colour tables"
fi

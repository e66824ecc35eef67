#!/bin/sh
# The Windows build of brask, loading the real 32-bit DLL under wine, must hand over the same
# DIBs as the native build: sample pictures of every mode are made by the native program,
# converted to BMP by both, and compared byte for byte. Skipped (77) when the native program
# has not been built.
set -eu
native=$1 windows=$2 wine_run=$3
[ -x "$native" ] || { echo "no native brask at $native: skipped"; exit 77; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
"$native" demo made >/dev/null
"$native" convert made/samples -o native --format bmp -j 2 >/dev/null
# wine maps the Unix root as a drive, but relative paths keep the arguments plain.
"$wine_run" "$windows" convert made/samples -o windows --format bmp -j 2 >/dev/null
count=0
for expected in native/*.bmp; do
  name=$(basename "$expected")
  cmp "$expected" "windows/$name"
  count=$((count + 1))
done
[ "$count" -ge 12 ] || { echo "only $count pictures were converted"; exit 1; }
[ "$(ls windows | wc -l)" -eq "$count" ] || { echo "the Windows build wrote other files"; exit 1; }
echo "$count BMPs identical"

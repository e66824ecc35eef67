#!/bin/sh
# SPDX-License-Identifier: MIT
# Installs the build into a fresh prefix and uses the library as a C program would: the
# header and flags from pkg-config, the soname chain, only brask_* exported, and a picture
# decoded. Exits 77 (skipped) when no C compiler or pkg-config is at hand.
set -eu
build=$1
command -v cc >/dev/null && command -v pkg-config >/dev/null || { echo "SKIP: needs cc and pkg-config"; exit 77; }
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" >/dev/null
pc=$(find "$prefix" -name brask.pc)
libdir=$(dirname "$(dirname "$pc")")
[ -L "$libdir/libbrask.so" ] && [ -L "$libdir/libbrask.so.1" ] || { echo "FAIL: no soname links in $libdir"; exit 1; }
[ -x "$prefix/bin/brask" ] || { echo "FAIL: brask not installed"; exit 1; }
exports=$(nm -D --defined-only "$libdir/libbrask.so.1" | awk '$2 == "T" {print $3}' | grep -v '^brask_' || true)
[ -z "$exports" ] || { echo "FAIL: libbrask.so exports $exports"; exit 1; }

cat > "$prefix/use.c" <<'C'
#include <brask/brask.h>
#include <stdio.h>
#include <string.h>

int main(void) {
  /* A 2 x 1 PDT10: header, then a flag byte making two literal pixels (blue, green, red). */
  static const unsigned char file[39] = {
      'P', 'D', 'T', '1', '0', 0, 0, 0, 39, 0, 0, 0, 2, 0, 0, 0, 1, 0, 0, 0,
      0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xC0, 0x11, 0x12, 0x13, 0x21, 0x22, 0x23};
  static const unsigned char want[8] = {0x13, 0x12, 0x11, 255, 0x23, 0x22, 0x21, 255};
  brask_picture* picture = NULL;
  brask_info info;
  unsigned char rgba[8];
  brask_result result = brask_open_memory(file, sizeof file, NULL, 0, &picture);
  if (result != BRASK_OK) {
    printf("open: %s\n", brask_result_text(result));
    return 1;
  }
  brask_get_info(picture, &info);
  result = brask_decode_rgba(picture, rgba, sizeof rgba, 8);
  brask_close(picture);
  if (result != BRASK_OK || info.width != 2 || info.mode != BRASK_MODE_PDT10 ||
      memcmp(rgba, want, sizeof want) != 0) {
    printf("decode: %s\n", brask_result_text(result));
    return 1;
  }
  printf("libbrask %s decodes\n", brask_version());
  return 0;
}
C
export PKG_CONFIG_PATH="$libdir/pkgconfig"
# The prefix given at install time, as packagers do.
flags=$(pkg-config --define-variable=prefix="$prefix" --cflags --libs brask)
cc -std=c99 -Wall -Wextra -Werror -pedantic -o "$prefix/use" "$prefix/use.c" $flags
said=$(LD_LIBRARY_PATH="$libdir" "$prefix/use")
echo "$said"
# One version everywhere: the project's, brask_version(), brask.pc and brask --version; the
# soname carries the interface's major number from the header.
version=$(echo "$said" | sed -n 's/^libbrask \([^ ]*\) decodes$/\1/p')
[ "$version" = "$(cat "$build/generated/brask_version.txt")" ] ||
  { echo "FAIL: brask_version() says '$version', the project $(cat "$build/generated/brask_version.txt")"; exit 1; }
[ "$(pkg-config --modversion brask)" = "$version" ] || { echo "FAIL: brask.pc's version differs"; exit 1; }
[ "$("$prefix/bin/brask" --version)" = "brask $version" ] || { echo "FAIL: brask --version differs"; exit 1; }
major=$(sed -n 's/^#define BRASK_VERSION_MAJOR \([0-9]*\)$/\1/p' "$prefix/include/brask/brask.h")
readelf -d "$libdir/libbrask.so.1" | grep -q "Library soname: \[libbrask.so.$major\]" ||
  { echo "FAIL: the soname is not libbrask.so.$major"; exit 1; }

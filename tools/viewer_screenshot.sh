#!/bin/sh
# SPDX-License-Identifier: MIT
# Opens a G00 picture in a real image viewer (eog) on a virtual screen (Xvfb) and saves a
# screenshot of its window: the picture goes through the built gdk-pixbuf loader exactly as on
# a desktop, with our MIME types. The viewer gets no session bus, so it starts no desktop
# services that would outlive it. Needs the native build (./dev demo) and the packages xvfb,
# eog, imagemagick and x11-utils.
# usage: tools/viewer_screenshot.sh [OUTPUT.png] [PICTURE.png]
#   PICTURE (default: the flower sprite with alpha) is encoded as a type-2 G00 first.
set -eu
cd "$(dirname "$0")/.."
output=${1:-data/screenshots/eog-flower-g00.png}
picture=${2:-data/pictures/flower_800x600_rgba.png}
build=build/native/bin

for program in Xvfb eog import convert xwininfo pkg-config; do
  command -v "$program" >/dev/null || { echo "missing: $program" >&2; exit 1; }
done
[ -x "$build/brask" ] && [ -e "$build/libpixbufloader-brask.so" ] ||
  { echo "build the native preset first (./dev demo)" >&2; exit 1; }

work=$(mktemp -d)
display_pid=""
viewer_pid=""
cleanup() {
  [ -n "$viewer_pid" ] && kill "$viewer_pid" 2>/dev/null
  [ -n "$display_pid" ] && kill "$display_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

name=$(basename "$picture" .png).g00
mkdir -p "$work/sprites"
"$build/brask" encode "$picture" "$work/sprites/$name" --mode g00-2 >/dev/null

# gdk-pixbuf's own loaders (the viewer's icons need them) and ours; our MIME types.
moduledir=$(pkg-config --variable=gdk_pixbuf_moduledir gdk-pixbuf-2.0)
"$(pkg-config --variable=gdk_pixbuf_query_loaders gdk-pixbuf-2.0)" \
  "$moduledir"/*.so "$build/libpixbufloader-brask.so" >"$work/loaders.cache"
mkdir -p "$work/xdg/mime/packages"
cp integrations/mime/if-brask.xml "$work/xdg/mime/packages/"
XDG_DATA_HOME=$work/xdg update-mime-database "$work/xdg/mime"

display=:$(( 90 + $$ % 100 ))
Xvfb "$display" -screen 0 1000x800x24 -nolisten tcp >/dev/null 2>&1 &
display_pid=$!
sleep 1
DISPLAY=$display GDK_PIXBUF_MODULE_FILE=$work/loaders.cache XDG_DATA_HOME=$work/xdg \
  XDG_CONFIG_HOME=$work/config XDG_CACHE_HOME=$work/cache LD_LIBRARY_PATH=$build \
  GSETTINGS_BACKEND=memory NO_AT_BRIDGE=1 DBUS_SESSION_BUS_ADDRESS=disabled: \
  eog --new-instance "$work/sprites/$name" >"$work/eog.log" 2>&1 &
viewer_pid=$!

# Wait for the viewer's window, named after the picture, then give it time to draw.
window=""
for _ in $(seq 60); do
  window=$(DISPLAY=$display xwininfo -root -tree 2>/dev/null |
           awk -v n="\"$name" 'index($0, n) {print $1; exit}')
  [ -n "$window" ] && break
  sleep 0.5
done
[ -n "$window" ] || { cat "$work/eog.log" >&2; echo "the viewer showed no window" >&2; exit 1; }
sleep 3
import -display "$display" -window "$window" "$work/shot.png"
mkdir -p "$(dirname "$output")"
# A small file for the README: at most 640 pixels wide, 256 colours.
convert "$work/shot.png" -resize '640x>' -colors 256 "PNG8:$output"
echo "wrote $output"

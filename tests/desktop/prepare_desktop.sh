#!/bin/sh
# SPDX-License-Identifier: MIT
# Prepares what the desktop tests share, under WORK: sample pictures of every mode (brask
# demo), a gdk-pixbuf loaders cache naming only the built loader, and a MIME database built
# from our MIME types alone, for XDG_DATA_HOME. A host program that is missing leaves its
# piece out; the tests that need it then skip and say why.
# usage: prepare_desktop.sh WORK BRASK LOADER_MODULE QUERY_LOADERS MIME_XML [SANITIZER_RUNTIME]
#   SANITIZER_RUNTIME: the AddressSanitizer library, which gdk-pixbuf's own program must load
#   first to open a loader built with it.
set -eu
work=$1 brask=$2 loader=$3 query_loaders=$4 mime_xml=$5 runtime=${6:-}

rm -rf "$work"
mkdir -p "$work/xdg/mime/packages" "$work/cache"
"$brask" demo "$work/demo" >"$work/demo.log"

if [ -x "$query_loaders" ]; then
  if [ -n "$runtime" ]; then
    LD_PRELOAD=$runtime ASAN_OPTIONS=detect_leaks=0 \
      "$query_loaders" "$loader" >"$work/loaders.cache"
  else
    "$query_loaders" "$loader" >"$work/loaders.cache"
  fi
  grep -q '"image/x-g00"' "$work/loaders.cache"
else
  echo "no $query_loaders: the loader tests will skip"
fi

cp "$mime_xml" "$work/xdg/mime/packages/"
if command -v update-mime-database >/dev/null; then
  XDG_DATA_HOME=$work/xdg update-mime-database "$work/xdg/mime"
else
  echo "no update-mime-database (shared-mime-info): the MIME tests will skip"
fi

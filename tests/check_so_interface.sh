#!/bin/sh
# SPDX-License-Identifier: MIT
# Checks that the native library exports the four host functions and the platform's block
# calls, and nothing else of ours.
set -eu
so=$1
got=$(nm -D --defined-only "$so" | awk '$2 == "T" {print $3}' | sort | tr '\n' ' ')
want='GetPicture GetPictureInfo GetPluginInfo IsSupported LocalAlloc LocalFree LocalLock LocalSize LocalUnlock '
if [ "$got" != "$want" ]; then
  echo "FAIL: exports are: $got"
  exit 1
fi
echo "if_brask.so exports: $got"

#!/bin/sh
# SPDX-License-Identifier: MIT
# Runs one libFuzzer target for a few seconds from its committed corpus and regression files.
# New inputs go to a work folder inside the build, never into the source tree.
set -eu
fuzzer=$1 seconds=$2 work=$3 corpus=$4 regressions=$5 dict=$6
mkdir -p "$work" "$corpus"
set -- -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2560 -max_len=65536 -print_final_stats=1
[ -f "$dict" ] && set -- "$@" -dict="$dict"
# Replay the regression files first: each one is a defect that was fixed.
if [ -d "$regressions" ] && [ -n "$(ls -A "$regressions")" ]; then
  "$fuzzer" -runs=0 "$regressions"
fi
exec "$fuzzer" "$@" "$work" "$corpus"

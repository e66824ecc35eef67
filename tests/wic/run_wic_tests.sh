#!/bin/sh
# SPDX-License-Identifier: MIT
# Runs the WIC codec's tests under wine, in a prefix of their own:
#   run_wic_tests.sh RUNNER KIND DLL TESTS WORK
# RUNNER KIND is cmake/wine-run with win32 or win64, DLL the codec, TESTS the test program,
# WORK a folder for this run (emptied first). The prefix is a fresh copy of the kind's shared
# prefix (which wine-run creates once), so nothing registered here reaches other tests: its
# registry and user files are copied, and the Windows folder, which wine only reads, is
# hard-linked (a copy takes seconds, a new prefix about half a minute). In that prefix:
# record the registry and other formats' pixels; register per user, check, unregister,
# check; register per machine (wine reads no per-user classes), run every decoding check,
# unregister, check. Each step is one wine process.
set -u
runner=$1 kind=$2 dll=$3 tests=$4 work=$5
case $kind in
  win32) prefix_variable=BRASK_WINE32_PREFIX not_running=77 ;;
  win64) prefix_variable=BRASK_WINE64_PREFIX not_running=1 ;;
  *) echo "usage: run_wic_tests.sh RUNNER win32|win64 DLL TESTS WORK" >&2; exit 2 ;;
esac
if [ -n "${BRASK_WINE_STATUS:-}" ] && [ -s "$BRASK_WINE_STATUS" ]; then
  echo "$kind cannot run Windows programs here: $(cat "$BRASK_WINE_STATUS")"
  exit $not_running
fi
"$runner" "$kind" --prepare || exit 1
eval "shared=\${$prefix_variable:-\${XDG_CACHE_HOME:-\$HOME/.cache}/brask/wine${kind#win}}"

mkdir -p "$(dirname "$work")"
exec 9>"$work.lock"
flock 9
started=$(date +%s)
rm -rf "$work"
mkdir -p "$work/prefix/drive_c" "$work/files" || exit 1
(cd "$shared" && find . -maxdepth 1 ! -name . ! -name drive_c ! -name '*.lock' \
   -exec cp -a {} "$work/prefix/" \;) || exit 1
for entry in "$shared/drive_c/"*; do
  if [ "$(basename "$entry")" = windows ]; then
    cp -al "$entry" "$work/prefix/drive_c/" || exit 1
  else
    cp -a "$entry" "$work/prefix/drive_c/" || exit 1
  fi
done
export "$prefix_variable=$work/prefix" BRASK_WIC_WORK="$work/files"

failed=0
step() {
  title=$1
  shift
  echo "== $title"
  if ! "$runner" "$kind" "$@"; then
    echo "FAILED: $title"
    failed=1
  fi
}
stage() { step "$1" "$tests" "--gtest_filter=$1.*" --gtest_brief=1; }

stage Before
step "register per user" regsvr32 /s /n /i:user "$dll"
stage UserRegistered
step "unregister per user" regsvr32 /s /u /n /i:user "$dll"
stage UserRemoved
step "register per machine" regsvr32 /s "$dll"
stage MachineRegistered
step "unregister per machine" regsvr32 /s /u "$dll"
stage MachineRemoved

WINEPREFIX="$work/prefix" wineserver -k >/dev/null 2>&1
echo "the WIC tests took $(($(date +%s) - started)) s under $kind"
exit $failed

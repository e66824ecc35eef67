#!/bin/sh
# SPDX-License-Identifier: MIT
# The win32 probe of cmake/wine-run on a machine where Debian's wine is installed without its
# 32-bit loader: the skip reason says plainly that wine32 is not installed (and why, when ./dev
# could not install it), and no prefix is made. `wine` is a stand-in: nothing is started.
set -u
wine_run=${1:?usage: wine32_missing_test.sh WINE_RUN}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/bin"
printf '#!/bin/sh\necho "wine: is a 32-bit installation, it cannot support 64-bit applications."\nexit 1\n' \
  >"$work/bin/wine"
chmod +x "$work/bin/wine"
failures=0

probe() {
  env -u BRASK_WINE32 -u BRASK_SIMULATE_NO_32BIT PATH="$work/bin:$PATH" \
    BRASK_WINE32_LOADER="$work/no-such-loader" BRASK_WINE32_PREFIX="$work/prefix" \
    "$@" "$wine_run" win32 --probe "$work/probe.exe" "$work/status" >/dev/null
  status=$?
  reason=$(cat "$work/status")
}

check() {  # check DESCRIPTION EXPECTED_REASON
  if [ $status -ne 77 ] || [ "$reason" != "$2" ] || [ -e "$work/prefix" ]; then
    echo "FAIL: $1: exit $status (want 77), reason \"$reason\""
    echo "  want \"$2\""
    [ -e "$work/prefix" ] && echo "  and a prefix was made"
    failures=$((failures + 1))
  fi
}

probe env -u BRASK_WINE32_INSTALL_FAILURE
check "loader missing" "wine32 is not installed: $work/no-such-loader is missing (Debian's package wine32:i386)"

probe env BRASK_WINE32_INSTALL_FAILURE="apt-get could not install it (held broken packages)"
check "./dev's reason" "wine32 is not installed: apt-get could not install it (held broken packages)"

[ $failures -eq 0 ] || exit 1
echo "wine-run: the missing wine32 is named as the reason"

#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# cmake/install-packages on a machine whose package mirror misbehaves, with apt-get, dpkg,
# dpkg-query and sudo replaced by stand-ins that keep the "installed" packages in a file.
# The stand-in apt-get's update fails as many times as asked ($UPDATE_FAILURES, -1: always);
# its install fails for the packages named in $UNINSTALLABLE.
set -u
script=${1:?usage: install_packages_test.sh INSTALL_PACKAGES_SCRIPT}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/bin"
failures=0

cat >"$work/bin/dpkg-query" <<'SH'
#!/bin/sh
for last; do :; done
grep -qx "$last" "$STATE/installed" && printf 'install ok installed'
SH
cat >"$work/bin/dpkg" <<'SH'
#!/bin/sh
echo "dpkg $*" >>"$STATE/calls"
SH
cat >"$work/bin/sudo" <<'SH'
#!/bin/sh
exec "$@"
SH
cat >"$work/bin/apt-get" <<'SH'
#!/bin/sh
case " $* " in
  *" update "*)
    echo "update" >>"$STATE/calls"
    failed=$(grep -c update "$STATE/calls")
    if [ "$UPDATE_FAILURES" -lt 0 ] || [ "$failed" -le "$UPDATE_FAILURES" ]; then
      echo "Err:6 http://mirror/debian-security bookworm-security/main i386 Packages"
      echo "E: Failed to fetch http://mirror/binary-i386/Packages.xz  File has unexpected size (374820 != 376004). Mirror sync in progress? [IP: 203.0.113.80 80]"
      echo "E: Some index files failed to download. They have been ignored, or old ones used instead."
      exit 100
    fi
    exit 0 ;;
esac
packages=
for argument in "$@"; do
  case $argument in -*|install|DPkg::*) ;; *) packages="$packages $argument" ;; esac
done
echo "install$packages" >>"$STATE/calls"
for package in $packages; do
  case " $UNINSTALLABLE " in
    *" $package "*)
      echo " libwine:i386 : Depends: zlib1g:i386 (>= 1:1.1.4) but it is not going to be installed"
      echo "E: Unable to correct problems, you have held broken packages."
      exit 100 ;;
  esac
done
printf '%s\n' $packages >>"$STATE/installed"
SH
chmod +x "$work/bin/"*

# Runs the script in a fresh state: INSTALLED is what the machine has, the rest its arguments.
run() {
  local installed=$1
  shift
  export STATE=$work/state
  rm -rf "$STATE" && mkdir "$STATE"
  printf '%s\n' $installed >"$STATE/installed"
  touch "$STATE/calls"
  output=$(PATH="$work/bin:$PATH" BRASK_APT_RETRY_SECONDS="0 0" \
           "$script" --unavailable "$STATE/unavailable" "$@" 2>&1)
  status=$?
  calls=$(cat "$STATE/calls")
}

expect() {  # expect DESCRIPTION CONDITION...
  local description=$1
  shift
  if ! "$@"; then
    echo "FAIL: $description"
    echo "  status $status; calls:"; printf '    %s\n' "$calls"
    echo "  output:"; printf '%s\n' "$output" | sed 's/^/    /'
    failures=$((failures + 1))
  fi
}
has() { grep -qx -- "$2" <<<"$1"; }
installed() { grep -qx -- "$1" "$STATE/installed"; }

# Nothing missing: no apt-get at all.
UPDATE_FAILURES=-1 UNINSTALLABLE=
export UPDATE_FAILURES UNINSTALLABLE
run "cmake wine32:i386" cmake wine32:i386
expect "nothing to install: ends with 0" [ $status -eq 0 ]
expect "nothing to install: no apt-get call" [ -z "$calls" ]

# The mirror settles on the third attempt: everything is installed.
UPDATE_FAILURES=2
run "" cmake wine32:i386
expect "update retried until it worked" [ "$(grep -c '^update$' <<<"$calls")" -eq 3 ]
expect "i386 enabled" has "$calls" "dpkg --add-architecture i386"
expect "native packages first, alone" has "$(grep '^install' <<<"$calls" | head -n 1)" "install cmake"
expect "i386 packages after, alone" has "$(grep '^install' <<<"$calls" | tail -n 1)" "install wine32:i386"
expect "both installed" installed wine32:i386
expect "ends with 0" [ $status -eq 0 ]
expect "nothing unavailable" [ ! -s "$STATE/unavailable" ]

# The i386 index never downloads and wine32 cannot be installed: the rest is, and the
# reason for wine32 names the failed index.
UPDATE_FAILURES=-1 UNINSTALLABLE=wine32:i386
run "" cmake wine32:i386 g++
expect "update tried three times" [ "$(grep -c '^update$' <<<"$calls")" -eq 3 ]
expect "goes on without the index: ends with 0" [ $status -eq 0 ]
expect "native packages installed" installed g++
expect "wine32 reported unavailable" grep -q "^wine32:i386	apt-get could not install it" "$STATE/unavailable"
expect "its reason names the broken index" grep -q "unexpected size (374820 != 376004). Mirror sync in progress?$" "$STATE/unavailable"
expect "the reason is said" grep -q "Not installed: wine32:i386" <<<"$output"

# A native package that cannot be installed stops everything.
UNINSTALLABLE=g++
run "" cmake g++ wine32:i386
expect "a native failure ends with 1" [ $status -eq 1 ]
expect "and says which" grep -q "Could not install cmake g++: Unable to correct problems" <<<"$output"
expect "no i386 install after it" [ "$(grep -c 'install wine32' <<<"$calls")" -eq 0 ]

if [ $failures -ne 0 ]; then
  echo "$failures check(s) failed"
  exit 1
fi
echo "install-packages: every check passed"

#!/bin/sh
# SPDX-License-Identifier: MIT
# Installs the build into a staging root with prefix /usr, as the Debian package does, checks
# that every piece lands where its host program looks, that the Python package works from
# there (and from a folder that holds the library beside it), then builds the .deb with cpack
# and checks its files and the triggers that refresh the MIME database and loaders cache.
# usage: check_install.sh BUILD_DIR WORK LOADERS_DIR PYTHON_SITE_DIR PYTHON [GIMP_PLUGIN_DIR]
#   GIMP_PLUGIN_DIR: where the GIMP plug-in goes, when it was built.
set -eu
build=$1 work=$2 loaders=$3 site=$4 python=$5 gimp=${6:-}
stage=$work/stage

rm -rf "$work"
mkdir -p "$work"
DESTDIR=$stage cmake --install "$build" --prefix /usr >"$work/install.log"

fail() { echo "FAIL: $*" >&2; exit 1; }
expect() { [ -e "$stage/usr/$1" ] || fail "nothing installed at /usr/$1"; }
library=$(cd "$stage/usr" && find lib -name libbrask.so.1 | head -n 1)
[ -n "$library" ] || fail "libbrask.so.1 is not installed under /usr/lib"
expect "$library"
expect bin/brask
expect include/brask/brask.h
expect "$(dirname "$library")/pkgconfig/brask.pc"
expect "$loaders/libpixbufloader-brask.so"
expect share/mime/packages/if-brask.xml
expect share/thumbnailers/if-brask.thumbnailer
expect "$site/brask/__init__.py"
if [ -n "$gimp" ]; then
  expect "$gimp/file-brask"
  # GIMP finds a plug-in in a folder named after it, in its own plug-ins folder.
  gimp_dir=$(pkg-config --variable=gimplibdir gimp-2.0)/plug-ins
  case "/usr/$gimp" in "$gimp_dir"/file-brask) ;; *) fail "/usr/$gimp is not in GIMP's $gimp_dir" ;; esac
fi

# The Python package as installed: the library through the system's library path...
LD_LIBRARY_PATH=$stage/usr/$(dirname "$library") PYTHONPATH=$stage/usr/$site \
  "$python" -c 'import brask; print("installed package, library", brask.version())'
# ...and from a folder where the library lies beside the package.
mkdir -p "$work/beside"
cp -r "$stage/usr/$site/brask" "$work/beside/"
cp "$stage/usr/$library" "$work/beside/brask/"
PYTHONPATH=$work/beside \
  "$python" -c 'import brask; print("library beside the package", brask.version())'

if ! command -v dpkg-deb >/dev/null; then
  echo "SKIPPED: dpkg-deb is not installed, the .deb was not built"
  exit 77
fi
(cd "$work" &&
 cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/deb" >"$work/cpack.log") ||
  { cat "$work/cpack.log"; fail "cpack -G DEB"; }
deb=$(find "$work/deb" -maxdepth 1 -name 'brask_*.deb' | head -n 1)
[ -n "$deb" ] || fail "cpack wrote no .deb"
dpkg-deb -c "$deb" | sed 's/ -> .*//' | awk '{print $NF}' | sed 's|^\./|/|' >"$work/deb-files"
for file in "/usr/$library" /usr/bin/brask /usr/include/brask/brask.h \
            "/usr/$loaders/libpixbufloader-brask.so" /usr/share/mime/packages/if-brask.xml \
            /usr/share/thumbnailers/if-brask.thumbnailer "/usr/$site/brask/__init__.py"; do
  grep -qx "$file" "$work/deb-files" || fail "$file is not in $deb"
done
if [ -n "$gimp" ]; then
  # In a package of its own, so brask depends on no GIMP library.
  gimp_deb=$(find "$work/deb" -maxdepth 1 -name 'brask-gimp_*.deb' | head -n 1)
  [ -n "$gimp_deb" ] || fail "cpack wrote no brask-gimp package"
  dpkg-deb -c "$gimp_deb" | awk '{print $NF}' | sed 's|^\./|/|' | grep -qx "/usr/$gimp/file-brask" ||
    fail "the GIMP plug-in is not in $gimp_deb"
  grep -q "/usr/$gimp" "$work/deb-files" && fail "the GIMP plug-in is in $deb too"
  dpkg-deb -f "$deb" Depends | grep -q gimp && fail "$deb depends on GIMP's libraries"
  dpkg-deb -f "$gimp_deb" Depends | grep -q "brask (=" || fail "$gimp_deb does not depend on brask"
fi
dpkg-deb -e "$deb" "$work/control"
grep -qx "activate-noawait /usr/share/mime/packages" "$work/control/triggers" ||
  fail "the package does not refresh the MIME database"
grep -qx "activate-noawait /usr/$loaders" "$work/control/triggers" ||
  fail "the package does not refresh the gdk-pixbuf loaders cache"
echo "$(basename "$deb"): every piece in place, triggers for the MIME database and loaders cache"

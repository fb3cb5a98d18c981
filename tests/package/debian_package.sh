#!/usr/bin/env bash
# `cpack -G DEB` from the build tree: the package's control data and files;
# lintian's verdict; then it is unpacked into a scratch folder (never
# installed): the links of its documents, and the program
# in it started on its own X server, keeping its settings per user.
#   debian_package.sh <build dir> <version>
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/../e2e/xlib.sh"
source "$here/doclinks.sh"
build="$1"
version="$2"

cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/deb" >"$work/cpack.log" 2>&1 || {
  cat "$work/cpack.log"
  fail "cpack"
}
deb="$work/deb/orb720demo_${version}_$(dpkg --print-architecture).deb"
[ -f "$deb" ] || { ls "$work/deb"; fail "no package $deb"; }

info=$(dpkg-deb --info "$deb")
field() { sed -n "s/^ $1: //p" <<<"$info"; }
echo "Package: $(field Package), Version: $(field Version)"
echo "Depends: $(field Depends)"
[ "$(field Package)" = orb720demo ] || fail "package name"
[ "$(field Version)" = "$version" ] || fail "package version"
depends=$(field Depends)
# Read from the linked libraries: Qt's widget, GUI and core libraries and the
# C and C++ runtimes, each with a version.
for lib in libqt6widgets6 libqt6gui6 libqt6core6 libstdc++6 libc6; do
  grep -Eq "(^|, )${lib//+/\\+} \(>= [^)]+\)" <<<"$depends" || fail "Depends lacks $lib"
done

# Files in the documents' subfolders are what their pages link to, checked below.
actual=$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ {print $6}' | sed 's|^\./usr/||' |
  grep -Ev '^share/doc/orb720demo/.+/' | LC_ALL=C sort)
diff <(LC_ALL=C sort "$here/files.txt") <(echo "$actual") || fail "packaged files differ (< expected, > packaged)"

# What Debian checks of a package: no error, no warning.
# (It checks the manual pages too: one per program, compressed, formatted
# without a warning.)
lintian --fail-on error,warning "$deb" >"$work/lintian.log" 2>&1 || { cat "$work/lintian.log"; fail "lintian"; }
grep -v '^running with root privileges' "$work/lintian.log" || true

dpkg-deb -x "$deb" "$work/root"
check_doc_links "$work/root/usr/share/doc/orb720demo"

start_x
start_app "$work/root/usr/bin/ORB720Demo"
expect_caption "$wid" "ORB-720 Demo" "unpacked program"
expect_icon "$wid" "unpacked program"
exit_app
[ ! -e "$work/root/usr/bin/ORB720Demo.INI" ] || fail "settings written beside the unpacked program"
[ -f "$XDG_CONFIG_HOME/ORB720Demo/ORB720Demo.INI" ] || fail "no settings in the configuration folder"
echo "package $(basename "$deb") as expected"

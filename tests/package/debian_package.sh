#!/usr/bin/env bash
# `cpack -G DEB` from the build tree: the package's control data and files;
# then it is unpacked into a scratch folder (never installed) and the program
# in it started on its own X server.
#   debian_package.sh <build dir> <version>
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/../e2e/xlib.sh"
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

actual=$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ {print $6}' | sed 's|^\./usr/||' |
  LC_ALL=C sort)
diff <(LC_ALL=C sort "$here/files.txt") <(echo "$actual") || fail "packaged files differ (< expected, > packaged)"

dpkg-deb -x "$deb" "$work/root"
start_x
start_app "$work/root/usr/bin/ORB720Demo"
expect_caption "$wid" "ORB-720 Demo" "unpacked program"
expect_icon "$wid" "unpacked program"
exit_app
echo "package $(basename "$deb") as expected"

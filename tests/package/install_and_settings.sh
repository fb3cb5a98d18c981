#!/usr/bin/env bash
# `cmake --install` into a scratch prefix: the files it puts there, both
# metadata files through their validators, and where the installed program
# keeps its settings: in the per-user configuration folder, whoever runs it
# (read back at the next start), beside itself for a portable copy.
#   install_and_settings.sh <build dir> <version>
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/../e2e/xlib.sh"
build="$1"
version="$2"
prefix="$work/prefix"

cmake --install "$build" --prefix "$prefix" >/dev/null
# What the documents link to is checked by the debian_package.sh test.
actual=$(cd "$prefix" && find . \( -type f -o -type l \) | sed 's|^\./||' | grep -Ev '^share/doc/orb720demo/.+/' |
  LC_ALL=C sort)
diff <(LC_ALL=C sort "$here/files.txt") <(echo "$actual") || fail "installed files differ (< expected, > installed)"

desktop-file-validate "$prefix/share/applications/com.example.orb720demo.desktop" || fail "desktop entry"
appstreamcli validate --no-net "$prefix/share/metainfo/com.example.orb720demo.metainfo.xml" || fail "AppStream metainfo"
grep -q "<release version=\"$version\"" "$prefix/share/metainfo/com.example.orb720demo.metainfo.xml" ||
  fail "metainfo does not release $version"

# Installed where whoever runs it may write, as root may write /usr/bin: it is
# known as installed by its layout, so its settings go to the configuration
# folder of its own HOME and nothing appears beside it.
unset XDG_CONFIG_HOME
ini="$HOME/.config/ORB720Demo/ORB720Demo.INI"
beside="$prefix/bin/ORB720Demo.INI"
start_x
start_app "$prefix/bin/ORB720Demo"
choose 2  # ENG (SI) -> RUS
exit_app
[ ! -e "$beside" ] || fail "settings written beside the installed program"
[ -f "$ini" ] || fail "no settings in the configuration folder ($ini)"
grep -q '^Name=RUS' "$ini" || fail "the configuration folder's settings do not keep RUS"
echo "installed program saved its settings to $ini"

# A file beside it is neither read nor written.
printf '[Language]\nName=ENG (SI)\n' >"$beside"
start_app "$prefix/bin/ORB720Demo"
expect_caption "$wid" "Имитатор прибора ORB-720" "installed program, next start"
exit_app
[ "$(cat "$beside")" = "$(printf '[Language]\nName=ENG (SI)')" ] || fail "the file beside the installed program changed"
rm "$beside"

# A portable copy keeps its own file beside itself and leaves the other alone.
mkdir "$work/portable"
cp "$prefix/bin/ORB720Demo" "$work/portable/"
before=$(md5sum <"$ini")
start_app "$work/portable/ORB720Demo"
expect_caption "$wid" "ORB-720 Demo" "portable copy"
exit_app
[ -f "$work/portable/ORB720Demo.INI" ] || fail "portable copy wrote no settings beside itself"
[ "$(md5sum <"$ini")" = "$before" ] || fail "portable copy changed the configuration folder's settings"
echo "installed layout, metadata and settings locations as expected"

#!/usr/bin/env bash
# `cmake --install` lays out the usual tree whose desktop entry and metainfo pass their validators; the Debian
# package holds that tree, depends on what the programs need, and its zelkavio-opis runs unpacked.
set -euo pipefail
build=$(cd "${1:?usage: install_and_package.sh BUILD_DIR}" && pwd)
source "$(dirname "$0")/common.bash"
require_tools desktop-file-validate appstreamcli cpack dpkg-deb dpkg-shlibdeps
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
install_program "$build"

tree=(
    bin/zelkavio bin/zelkavio-opis share/zelkavio/Zelkavio.rtf share/applications/zelkavio.desktop
    share/icons/hicolor/scalable/apps/zelkavio.svg share/icons/hicolor/48x48/apps/zelkavio.png
    share/icons/hicolor/128x128/apps/zelkavio.png share/icons/hicolor/256x256/apps/zelkavio.png
    share/metainfo/zelkavio.metainfo.xml share/man/man1/zelkavio.1 share/man/man1/zelkavio-opis.1
)
status=0
fail() { echo "FAIL: $*"; status=1; }
for file in "${tree[@]}"; do [ -s "$work/prefix/$file" ] || fail "the install has no $file"; done
desktop-file-validate "$work/prefix/share/applications/zelkavio.desktop" || fail "desktop entry"
# The component's id is the desktop entry's name, zelkavio, rather than a reversed domain name.
appstreamcli validate --no-net --override=cid-desktopapp-is-not-rdns=info \
    "$work/prefix/share/metainfo/zelkavio.metainfo.xml" || fail "metainfo"

(cd "$work" && cpack --config "$build/CPackConfig.cmake" -B "$work/package" >"$work/cpack.log" 2>&1) \
    || { cat "$work/cpack.log"; echo "FAIL: cpack"; exit 1; }
version=$(sed -n 's/^#define ZELKAVIO_VERSION "\(.*\)"$/\1/p' "$build/generated/platform/version.h")
deb="$work/package/zelkavio_${version}_$(dpkg --print-architecture).deb"
[ -f "$deb" ] || { ls "$work/package"; echo "FAIL: no $deb"; exit 1; }
listing=$(dpkg-deb -c "$deb")
for file in "${tree[@]}"; do grep -q " \./usr/$file\$" <<<"$listing" || fail "the package has no /usr/$file"; done
depends=$(dpkg-deb -f "$deb" Depends)
for need in libqt6widgets6 libqt6dbus6 libjpeg62-turbo libsdl2-mixer libexiv2 qt6-qpa-plugins qt6-translations-l10n \
    fonts-liberation fonts-dejavu-core; do
    grep -q "$need" <<<"$depends" || fail "Depends lacks $need: $depends"
done
[ "$(dpkg-deb -f "$deb" Section)" = graphics ] || fail "the section is not graphics"
dpkg-deb -x "$deb" "$work/unpacked"
got=$("$work/unpacked/usr/bin/zelkavio-opis" --version)
[ "$got" = "zelkavio-opis $version" ] || fail "the packaged zelkavio-opis --version printed '$got'"
[ "$status" = 0 ] && echo "PASS: install tree, validators and package ($(basename "$deb"))"
exit "$status"

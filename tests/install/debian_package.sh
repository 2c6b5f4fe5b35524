#!/usr/bin/env bash
# Builds the Debian package from the existing build into a temporary folder, lists it, unpacks
# it into a temporary root and runs the unpacked kelmo-calc; then lintian, appstreamcli and
# desktop-file-validate where they are installed. Skipped (77) without dpkg-deb.
set -euo pipefail
build=$1
app_id=$2 # the desktop id the build was configured with
command -v dpkg-deb >/dev/null && command -v cpack >/dev/null || { echo "no dpkg-deb"; exit 77; }
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

cpack -G DEB --config "$build/CPackConfig.cmake" -B "$tmp/out" >"$tmp/cpack.log" 2>&1 \
    || { cat "$tmp/cpack.log"; fail "cpack"; }
deb=$(ls "$tmp"/out/kelmo_*_amd64.deb 2>/dev/null || ls "$tmp"/out/kelmo_*.deb)
[ -f "$deb" ] || fail "no package"
version=$("$build/bin/kelmo-calc" --version | cut -d' ' -f2)
[ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "package version"

dpkg-deb -c "$deb" | awk '{ $1=$2=$3=$4=$5=""; sub(/^ +/, ""); print }' >"$tmp/list"
for f in ./usr/bin/kelmo ./usr/bin/kelmo-calc ./usr/share/kelmo/bdKelmo.db \
         ./usr/share/kelmo/otchet.docx "./usr/share/kelmo/Инструкция пользователя.docx" \
         "./usr/share/applications/$app_id.desktop" \
         "./usr/share/metainfo/$app_id.metainfo.xml" \
         ./usr/share/icons/hicolor/scalable/apps/kelmo.svg \
         ./usr/share/icons/hicolor/16x16/apps/kelmo.png ./usr/share/icons/hicolor/256x256/apps/kelmo.png \
         ./usr/share/man/man1/kelmo-calc.1.gz ./usr/share/man/man1/kelmo.1.gz \
         ./usr/share/doc/kelmo/copyright ./usr/share/doc/kelmo/changelog.gz; do
    grep -qxF "$f" "$tmp/list" || fail "not in the package: $f"
done
if [ -f "$build/bin/Инструкция пользователя.pdf" ]; then
    grep -qxF "./usr/share/kelmo/Инструкция пользователя.pdf" "$tmp/list" \
        || fail "not in the package: the manual's PDF"
fi
depends=$(dpkg-deb -f "$deb" Depends)
for d in libqt6core6 libqt6widgets6 libqt6sql6-sqlite libqt6sql6-odbc unixodbc fonts-dejavu-core; do
    grep -q "\b$d\b" <<<"$depends" || fail "Depends lacks $d: $depends"
done

# The unpacked program finds its files beside it and keeps the user's in the temporary home.
dpkg-deb -x "$deb" "$tmp/root"
export HOME=$tmp/home
unset XDG_DATA_HOME XDG_CONFIG_HOME XDG_DATA_DIRS
"$tmp/root/usr/bin/kelmo-calc" zones --mass 1000 --heat 4520 --air | grep -q '"massTNT":1000' \
    || fail "unpacked kelmo-calc zones"
"$tmp/root/usr/bin/kelmo-calc" point --at 50 --mass 1000 | grep -q '"percentHeavy"' \
    || fail "unpacked kelmo-calc point"
[ -f "$HOME/.local/share/kelmo/bdKelmo.db" ] || fail "no working database in the home folder"
file "$tmp/root/usr/share/icons/hicolor/48x48/apps/kelmo.png" 2>/dev/null | grep -q "48 x 48" \
    || ! command -v file >/dev/null || fail "48x48 icon size"

if command -v appstreamcli >/dev/null; then
    appstreamcli validate --no-net "$tmp/root/usr/share/metainfo/$app_id.metainfo.xml" \
        || fail "appstreamcli validate"
fi
if command -v desktop-file-validate >/dev/null; then
    out=$(desktop-file-validate "$tmp/root/usr/share/applications/$app_id.desktop" 2>&1)
    [ -z "$out" ] || fail "desktop-file-validate: $out"
fi
if command -v lintian >/dev/null; then
    lintian --no-tag-display-limit "$deb" >"$tmp/lintian" 2>&1 || true
    if grep -q '^E:' "$tmp/lintian"; then
        cat "$tmp/lintian"
        fail "lintian errors"
    fi
fi
echo "debian package: ok"

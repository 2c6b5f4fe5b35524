#!/usr/bin/env bash
# Installs into a temporary prefix and runs the installed kelmo-calc as a user whose home is a
# temporary folder: the working database lands in the user's data folder, made from the shipped
# seed, and the installed files stay as they were.
set -euo pipefail
build=$1
app_id=$2 # the desktop id the build was configured with
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
prefix=$tmp/prefix
fail() { echo "FAIL: $*" >&2; exit 1; }

cmake --install "$build" --prefix "$prefix" >/dev/null
calc=$prefix/bin/kelmo-calc
share=$prefix/share/kelmo
for f in bin/kelmo bin/kelmo-calc share/kelmo/bdKelmo.db share/kelmo/otchet.docx \
         "share/kelmo/Инструкция пользователя.docx" "share/applications/$app_id.desktop" \
         "share/metainfo/$app_id.metainfo.xml" share/icons/hicolor/scalable/apps/kelmo.svg \
         share/icons/hicolor/48x48/apps/kelmo.png share/man/man1/kelmo-calc.1.gz \
         share/doc/kelmo/copyright; do
    [ -e "$prefix/$f" ] || fail "not installed: $f"
done
# The PDF edition of the manual, where the build made one, is installed beside the .docx and is
# what "Инструкция" offers first.
manual="share/kelmo/Инструкция пользователя.docx"
if [ -f "$build/bin/Инструкция пользователя.pdf" ]; then
    manual="share/kelmo/Инструкция пользователя.pdf"
    [ -f "$prefix/$manual" ] || fail "not installed: $manual"
fi
snapshot() { (cd "$prefix" && find . -printf '%p %s %m\n' | sort && find . -type f -exec md5sum {} + | sort); }
before=$(snapshot)

export HOME=$tmp/home
unset XDG_DATA_HOME XDG_CONFIG_HOME XDG_DATA_DIRS
mkdir -p "$HOME"
user=$HOME/.local/share/kelmo

# The folders in use.
paths=$("$calc" paths --format json)
python3 - "$paths" "$prefix" "$user" "$manual" <<'PY'
import json, os, sys
p = json.loads(sys.argv[1]); prefix = sys.argv[2]; user = sys.argv[3]; manual = sys.argv[4]
want = {"layout": "installed", "programFolder": prefix + "/bin",
        "sharedFolder": prefix + "/share/kelmo", "userFolder": user,
        "database": user + "/bdKelmo.db", "dataSourceFile": user + "/Data Source.txt",
        "template": prefix + "/share/kelmo/otchet.docx",
        "manual": prefix + "/" + manual}
for k, v in want.items():
    if p[k] != v:
        sys.exit(f"paths: {k} = {p[k]!r}, expected {v!r}")
PY
"$calc" --version | grep -qx "kelmo-calc [0-9]*\.[0-9]*\.[0-9]*" || fail "--version"

# zones needs no database and writes nothing.
"$calc" zones --mass 1000 --heat 4520 --air | grep -q '"massTNT":1000' || fail "zones"
[ ! -e "$user" ] || fail "zones made the user folder"

# point on the first start: the working database is copied from the seed.
"$calc" point --at 50 --mass 1000 --air | grep -q '"percentHeavy"' || fail "point"
[ -f "$user/bdKelmo.db" ] || fail "no working database in $user"
cmp -s "$user/bdKelmo.db" "$share/bdKelmo.db" || fail "working database differs from the seed"

# What the user enters survives: init-db refuses to replace it, a reinstall leaves it alone.
python3 -c 'import sqlite3,sys; c=sqlite3.connect(sys.argv[1]); c.execute("insert into Explosives values (?, ?)", ("Введено пользователем", 1234.5)); c.commit()' "$user/bdKelmo.db"
if "$calc" init-db 2>"$tmp/err"; then fail "init-db replaced the working database"; fi
grep -q "уже существует" "$tmp/err" || fail "init-db message: $(cat "$tmp/err")"
cmake --install "$build" --prefix "$prefix" >/dev/null
"$calc" point --at 50 --mass 1000 >/dev/null
python3 -c 'import sqlite3,sys; n=sqlite3.connect(sys.argv[1]).execute("select count(*) from Explosives where VVName=?", ("Введено пользователем",)).fetchone()[0]; sys.exit(0 if n==1 else 1)' "$user/bdKelmo.db" \
    || fail "the user's explosive is gone"

# init-db for a new user makes the working database in that user's folder.
HOME=$tmp/other "$calc" init-db >/dev/null
[ -f "$tmp/other/.local/share/kelmo/bdKelmo.db" ] || fail "init-db for a new user"
XDG_DATA_HOME=$tmp/xdg "$calc" point --at 50 --mass 10 >/dev/null
[ -f "$tmp/xdg/kelmo/bdKelmo.db" ] || fail "XDG_DATA_HOME is not followed"

# The installed files are untouched.
[ "$(snapshot)" = "$before" ] || fail "the installed files changed: $(diff <(echo "$before") <(snapshot))"
echo "installed program: ok"

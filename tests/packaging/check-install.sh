#!/usr/bin/env bash
# Installs a build into a temporary prefix and checks what lands there: the file set, the desktop
# entry and AppStream metainfo (with the freedesktop validators), the project file type, icon
# sizes, the manual page against the converter's --help, and a first start of each program.
# Usage: check-install.sh BUILD_DIR
# Exits 77 (reported as skipped) when everything else passed but a validator is not installed.
set -uo pipefail

build=${1:?usage: check-install.sh BUILD_DIR}
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
prefix=$tmp/prefix
failures=0
skipped=()

fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

if ! cmake --install "$build" --prefix "$prefix" >"$tmp/install.log" 2>&1; then
    cat "$tmp/install.log"
    echo "FAIL: cmake --install"
    exit 1
fi

for f in bin/linovex bin/linovex-export; do
    [ -x "$prefix/$f" ] || fail "$f is missing or not executable"
done
for f in share/linovex/translate.dbf share/applications/linovex.desktop \
    share/mime/packages/linovex.xml share/metainfo/io.linovex.Linovex.metainfo.xml \
    share/man/man1/linovex.1.gz share/man/man1/linovex-export.1.gz \
    share/icons/hicolor/scalable/apps/linovex.svg share/doc/linovex/copyright; do
    [ -s "$prefix/$f" ] || fail "$f is missing or empty"
done

# Each PNG icon must really have the size its folder promises.
for size in 16 22 24 32 48 64 128 256; do
    png=$prefix/share/icons/hicolor/${size}x${size}/apps/linovex.png
    if [ ! -f "$png" ]; then
        fail "icon ${size}x${size} is missing"
        continue
    fi
    # Width and height are the big-endian words at offsets 16 and 20 of the IHDR chunk.
    dims=$(od -An -tu1 -j16 -N8 "$png" | awk '{print $1*16777216+$2*65536+$3*256+$4 "x" $5*16777216+$6*65536+$7*256+$8}')
    [ "$dims" = "${size}x${size}" ] || fail "icon ${size}x${size} is $dims"
done

grep -q '^License: GPL-3.0-or-later$' "$prefix/share/doc/linovex/copyright" || fail "copyright: licence"
grep -q '<project_license>GPL-3.0-or-later</project_license>' \
    "$prefix/share/metainfo/io.linovex.Linovex.metainfo.xml" || fail "metainfo: project_license"

desktop=$prefix/share/applications/linovex.desktop
if command -v desktop-file-validate >/dev/null; then
    desktop-file-validate "$desktop" | grep -v ': hint: ' | grep . && fail "desktop-file-validate"
else
    skipped+=(desktop-file-validate)
fi
grep -qx 'Exec=linovex %f' "$desktop" || fail "desktop entry: Exec"
grep -q '^MimeType=.*application/x-linovex-project;' "$desktop" || fail "desktop entry: MimeType"
grep -qx 'Categories=Graphics;VectorGraphics;Engineering;' "$desktop" || fail "desktop entry: Categories"

if command -v appstreamcli >/dev/null; then
    appstreamcli validate --no-net "$prefix/share/metainfo/io.linovex.Linovex.metainfo.xml" \
        >"$tmp/appstream.log" 2>&1 || { cat "$tmp/appstream.log"; fail "appstreamcli validate"; }
else
    skipped+=(appstreamcli)
fi

# The project type must be well-formed XML that gives *.lvx to application/x-linovex-project.
/usr/bin/python3 - "$prefix/share/mime/packages/linovex.xml" <<'PY' || fail "MIME type file"
import sys, xml.etree.ElementTree as ET
ns = "{http://www.freedesktop.org/standards/shared-mime-info}"
root = ET.parse(sys.argv[1]).getroot()
types = {t.get("type"): [g.get("pattern") for g in t.iter(ns + "glob")] for t in root.iter(ns + "mime-type")}
sys.exit(0 if types.get("application/x-linovex-project") == ["*.lvx"] else 1)
PY

# The manual page must describe every option that --help prints.
export_bin=$prefix/bin/linovex-export
"$export_bin" --version | grep -q '^linovex-export ' || fail "linovex-export --version"
man_text=$(gzip -dc "$prefix/share/man/man1/linovex-export.1.gz" | sed 's/\\-/-/g')
for option in $("$export_bin" --help | grep -o -- '--[a-z][a-z-]*' | sort -u); do
    grep -q -- "$option" <<<"$man_text" || fail "linovex-export.1 does not describe $option"
done

# First starts of the installed editor in a fresh home: the table and options.dat go to the
# per-user data folder, never beside the program, and the desktop's language picks the start
# language. The editor must still be running a moment after its table appeared (it has shown
# its window by then); it is then ended.
first_start() {
    local lang=$1 home=$tmp/home-$1
    local data=$home/.local/share/Mervane/Linovex
    mkdir -p "$home"
    env -u LINOVEX_DATA_DIR -u XDG_DATA_HOME -u XDG_CONFIG_HOME -u LANGUAGE -u LC_ALL \
        -u LC_MESSAGES HOME="$home" LANG="$lang" QT_QPA_PLATFORM=offscreen \
        "$prefix/bin/linovex" >"$tmp/editor.log" 2>&1 &
    local pid=$! waited=0
    while [ ! -s "$data/translate.dbf" ] && [ $waited -lt 300 ] && kill -0 $pid 2>/dev/null; do
        sleep 0.1
        waited=$((waited + 1))
    done
    sleep 1
    if kill -0 $pid 2>/dev/null; then
        kill $pid
        wait $pid 2>/dev/null
    else
        wait $pid
        local code=$?
        cat "$tmp/editor.log"
        fail "editor ($lang) ended by itself with $code"
    fi
    [ -s "$data/translate.dbf" ] || fail "editor ($lang): no translate.dbf in $data"
    local stored
    stored=$(od -An -tx1 "$data/options.dat" 2>/dev/null | tr -d ' \n')
    [ "$stored" = "$2" ] || fail "editor ($lang): options.dat holds '$stored', not $2"
}
first_start en_GB.UTF-8 01000000
first_start de_DE.UTF-8 00000000
leftovers=$(ls "$prefix/bin" | grep -v -x -e linovex -e linovex-export)
[ -z "$leftovers" ] || fail "files written beside the installed program: $leftovers"

if [ $failures -gt 0 ]; then
    echo "$failures check(s) failed"
    exit 1
fi
if [ ${#skipped[@]} -gt 0 ]; then
    echo "skipped, not installed: ${skipped[*]}"
    exit 77
fi
echo "install layout ok"

#!/usr/bin/env bash
# Installs the build tree into a temporary prefix and checks what a user and the desktop get:
# the programs, their data, desktop entries, icons, AppStream data and manual pages.
#   install_layout.sh BUILD_DIR SOURCE_DIR VERSION
set -uo pipefail
build=$1 source=$2 version=$3
. "$(dirname "$0")/common.sh"
need desktop-file-validate desktop-file-utils
need appstreamcli appstream
need man man-db
need file file

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix=$work/usr
if ! cmake --install "$build" --prefix "$prefix" >"$work/install.log" 2>&1; then
    cat "$work/install.log" >&2
    echo "FAIL: cmake --install" >&2
    exit 1
fi

# Exactly the four programs, and nothing the build only uses (tests, benchmarks).
listing() { (cd "$1" && find . -mindepth 1 \( -type f -o -type l \) | sed 's|^\./||' | LC_ALL=C sort); }
programs=$(listing "$prefix/bin")
[ "$programs" = $'quillmark\nquillmark-check\ntidewell\ntidewell-feed' ] || fail "bin/ holds: $(echo $programs)"
for p in quillmark quillmark-check tidewell tidewell-feed; do
    [ -x "$prefix/bin/$p" ] || fail "bin/$p is not executable"
done

# The data is the delivered data, file for file: nothing left out, nothing the programs write.
expected=$(cd "$source/data" && find . -type f ! -name CMakeLists.txt ! -name tidewell.hlp |
    sed 's|^\./||' | LC_ALL=C sort)
actual=$(listing "$prefix/share/quillmark")
if [ "$expected" != "$actual" ]; then
    fail "share/quillmark/ differs from data/:"
    diff <(echo "$expected") <(echo "$actual") >&2
fi
[ "$(listing "$prefix/share/tidewell")" = tidewell.hlp ] ||
    fail "share/tidewell/ holds: $(echo $(listing "$prefix/share/tidewell"))"
cmp -s "$source/data/Required/metareq.txt" "$prefix/share/quillmark/Required/metareq.txt" ||
    fail "Required/metareq.txt is not the delivered one"
writable=$(find "$prefix" -perm /022 ! -type l)
[ -z "$writable" ] || fail "writable by group or others: $writable"

# Desktop entries: valid, and pointing at a program and an icon that are installed.
for app in Quillmark Tidewell; do
    id=com.varnholt.$app
    desktop=$prefix/share/applications/$id.desktop
    metainfo=$prefix/share/metainfo/$id.metainfo.xml
    if [ ! -f "$desktop" ]; then
        fail "$id.desktop is not installed"
        continue
    fi
    out=$(desktop-file-validate "$desktop" 2>&1) || fail "desktop-file-validate $id.desktop"
    [ -z "$out" ] || fail "desktop-file-validate $id.desktop says: $out"
    exec_cmd=$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$desktop")
    [ -x "$prefix/bin/$exec_cmd" ] || fail "$id.desktop starts '$exec_cmd', which is not installed"
    icon=$(sed -n 's/^Icon=//p' "$desktop")
    [ "$icon" = "$id" ] || fail "$id.desktop names the icon '$icon'"
    hicolor=$prefix/share/icons/hicolor
    [ -f "$hicolor/scalable/apps/$id.svg" ] || fail "no scalable icon for $id"
    for size in 48 64 128 256; do
        png=$hicolor/${size}x${size}/apps/$id.png
        file -b "$png" | grep -q "^PNG image data, $size x $size," ||
            fail "$png is not a $size px PNG: $(file -b "$png" 2>&1)"
    done

    if [ ! -f "$metainfo" ]; then
        fail "$id.metainfo.xml is not installed"
        continue
    fi
    appstreamcli validate --no-net "$metainfo" >"$work/as.log" 2>&1 ||
        { cat "$work/as.log" >&2; fail "appstreamcli validate $id.metainfo.xml"; }
    grep -q "<launchable type=\"desktop-id\">$id.desktop</launchable>" "$metainfo" ||
        fail "$id.metainfo.xml does not launch $id.desktop"
    grep -q "<release version=\"$version\"" "$metainfo" || fail "$id.metainfo.xml has no release $version"
done

# Manual pages: each renders without a warning and names its program.
for page in quillmark quillmark-check tidewell tidewell-feed; do
    file=$(ls "$prefix/share/man/man1/$page.1"* 2>/dev/null | head -n 1)
    if [ -z "$file" ]; then
        fail "no manual page $page(1)"
        continue
    fi
    warnings=$(MANWIDTH=80 man -l --warnings -E UTF-8 "$file" 2>&1 >/dev/null)
    [ -z "$warnings" ] || fail "man $page: $warnings"
    MANWIDTH=80 man -l -E UTF-8 "$file" 2>/dev/null | grep -Eq "^ +$page +- " ||
        fail "man $page has no NAME line for $page"
done

# The installed programs run.
for p in quillmark quillmark-check tidewell tidewell-feed; do
    out=$("$prefix/bin/$p" --version 2>&1)
    [ "$out" = "$p $version" ] || fail "$p --version says: $out"
done

finish

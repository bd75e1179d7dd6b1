#!/usr/bin/env bash
# Builds the Debian package from this build tree into a temporary folder and checks its contents,
# its control data and that apt can install it here.
#   debian_package.sh BUILD_DIR VERSION
set -uo pipefail
build=$1 version=$2
. "$(dirname "$0")/common.sh"
if ! command -v dpkg-deb >/dev/null || ! command -v apt-get >/dev/null; then
    echo "SKIP: not a Debian system (no dpkg-deb or apt-get)"
    exit 77
fi
need cpack cmake
need dpkg-shlibdeps dpkg-dev

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
if ! cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work" >"$work/cpack.log" 2>&1; then
    cat "$work/cpack.log" >&2
    echo "FAIL: cpack -G DEB" >&2
    exit 1
fi
arch=$(dpkg --print-architecture)
deb=$work/quillmark_${version}_$arch.deb
if [ ! -f "$deb" ]; then
    echo "FAIL: no $(basename "$deb"); cpack wrote: $(cd "$work" && echo *.deb)" >&2
    exit 1
fi

# Control data: the package is what it says, and shlibdeps filled in the libraries.
field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = quillmark ] || fail "Package: $(field Package)"
[ "$(field Version)" = "$version" ] || fail "Version: $(field Version)"
[ "$(field Architecture)" = "$arch" ] || fail "Architecture: $(field Architecture)"
[ -n "$(field Maintainer)" ] || fail "no Maintainer"
[ -n "$(field Section)" ] || fail "no Section"
[ -n "$(field Description)" ] || fail "no Description"
depends=$(field Depends)
names=$(echo "$depends" | tr ',|' '\n\n' | sed 's/^ *//; s/[ (].*//')
for lib in libc6 libstdc++6 libqt6core6 libqt6gui6 libqt6widgets6 libqt6printsupport6 libcurl4 \
    qt6-qpa-plugins; do
    echo "$names" | grep -qxF "$lib" || fail "Depends lacks $lib: $depends"
done

# Contents: everything under /usr, the programs and their files, no test or benchmark.
dpkg-deb -c "$deb" | awk '{print $6}' | sed 's|^\./|/|; s|/$||' | grep -v '^$' >"$work/contents"
outside=$(grep -v '^/usr' "$work/contents")
[ -z "$outside" ] || fail "paths outside /usr: $outside"
for path in /usr/bin/quillmark /usr/bin/quillmark-check /usr/bin/tidewell \
    /usr/share/quillmark/quillmark.hlp /usr/share/quillmark/Required/metareq.txt \
    /usr/share/quillmark/srexclude.txt /usr/share/quillmark/dorazo/logo22-gif.gif \
    /usr/share/quillmark/sampleweb/index.htm /usr/share/tidewell/tidewell.hlp \
    /usr/share/applications/com.varnholt.Quillmark.desktop \
    /usr/share/applications/com.varnholt.Tidewell.desktop \
    /usr/share/metainfo/com.varnholt.Quillmark.metainfo.xml \
    /usr/share/metainfo/com.varnholt.Tidewell.metainfo.xml \
    /usr/share/icons/hicolor/scalable/apps/com.varnholt.Quillmark.svg \
    /usr/share/icons/hicolor/256x256/apps/com.varnholt.Tidewell.png \
    /usr/share/man/man1/quillmark.1.gz /usr/share/man/man1/quillmark-check.1.gz \
    /usr/share/man/man1/tidewell.1.gz /usr/share/man/man1/tidewell-feed.1.gz \
    /usr/bin/tidewell-feed; do
    grep -qx "$path" "$work/contents" || fail "$path is not in the package"
done
bins=$(grep '^/usr/bin/.' "$work/contents" | LC_ALL=C sort | tr '\n' ' ')
[ "$bins" = "/usr/bin/quillmark /usr/bin/quillmark-check /usr/bin/tidewell /usr/bin/tidewell-feed " ] ||
    fail "/usr/bin holds: $bins"
buildonly=$(grep -E '/(tst_|fuzz_)|_bench$|/bench/|dorazo/temp\.|metatemp' "$work/contents")
[ -z "$buildonly" ] || fail "build-only files in the package: $buildonly"

# apt resolves its dependencies on this system (a simulation: nothing is installed).
if ! apt-get install --simulate -q "$deb" >"$work/apt.log" 2>&1; then
    cat "$work/apt.log" >&2
    fail "apt-get install --simulate"
elif ! grep -q '^Inst quillmark ' "$work/apt.log"; then
    grep -q 'quillmark is already the newest version' "$work/apt.log" ||
        { cat "$work/apt.log" >&2; fail "apt-get would not install quillmark"; }
fi

finish

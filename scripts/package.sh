#!/usr/bin/env bash
# Builds the Debian package of both programs from a Release build without tests and benchmarks
# (build/package) and prints its path: quillmark_<version>_<arch>.deb in the top folder.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
dir=build/package
cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQM_BUILD_TESTS=OFF -DQM_BUILD_BENCH=OFF \
    "$@" >&2
cmake --build "$dir" >&2
rm -rf "$dir/deb"
cpack -G DEB --config "$dir/CPackConfig.cmake" -B "$dir/deb" >&2
deb=$(cd "$dir/deb" && echo quillmark_*.deb)
mv "$dir/deb/$deb" "$deb"
echo "$PWD/$deb"

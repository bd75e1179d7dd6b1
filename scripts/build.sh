#!/usr/bin/env bash
# Configures and builds one flavour: release (default), debug or asan. Prints the build folder.
set -euo pipefail
cd "$(dirname "$0")/.."
flavour=${1:-release}
shift || true
case "$flavour" in
    release) args=(-DCMAKE_BUILD_TYPE=Release) ;;
    debug) args=(-DCMAKE_BUILD_TYPE=Debug) ;;
    asan) args=(-DCMAKE_BUILD_TYPE=Debug -DQM_SANITIZE=ON) ;;
    *) echo "usage: $0 [release|debug|asan] [cmake args...]" >&2; exit 2 ;;
esac
dir=build/$flavour
cmake -S . -B "$dir" -G Ninja "${args[@]}" "$@" >&2
cmake --build "$dir" >&2
echo "$dir"

#!/usr/bin/env bash
# Installs the Debian packages that building, running, testing, packaging and the format check need;
# only the missing ones.
set -euo pipefail

packages=(
    cmake ninja-build g++ pkg-config
    qt6-base-dev qt6-base-dev-tools qt6-qpa-plugins libgl-dev
    qt6-base-private-dev
    libcurl4-openssl-dev libxml2-dev libsodium-dev
    python3 python3-pyftpdlib python3-openssl openssl curl
    xvfb xauth xdotool imagemagick poppler-utils fonts-dejavu-core
    clang-format
    desktop-file-utils appstream man-db groff-base dpkg-dev file
    git pre-commit python3-yaml
    python3-jsonschema nodejs
    nginx wget linkchecker time
)
# npm comes with some builds of nodejs; the Debian package only where it does not.
command -v npm >/dev/null 2>&1 || packages+=(npm)
packages+=("$@")

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$p")
    fi
done
if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    sudo_cmd=()
    [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
    export DEBIAN_FRONTEND=noninteractive
    "${sudo_cmd[@]}" apt-get update -q
    "${sudo_cmd[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

# The SARIF validator the checker's tests use, in the project's .tools/ (ignored by git).
tools="$(cd "$(dirname "$0")/.." && pwd)/.tools"
multitool="$tools/node_modules/@microsoft/sarif-multitool-linux/Sarif.Multitool"
if [ ! -x "$multitool" ]; then
    echo "Installing the SARIF multitool into $tools"
    npm install --prefix "$tools" --no-audit --no-fund @microsoft/sarif-multitool@5.7.0
    chmod u+x "$multitool" # its own install script may be skipped
fi

#!/usr/bin/env bash
# Installs the Debian packages that building, running, testing, packaging and the format check need;
# only the missing ones.
set -euo pipefail

packages=(
    cmake ninja-build g++ pkg-config
    qt6-base-dev qt6-base-dev-tools qt6-qpa-plugins libgl-dev
    libcurl4-openssl-dev libxml2-dev
    python3 python3-pyftpdlib curl
    xvfb xauth xdotool imagemagick poppler-utils fonts-dejavu-core
    clang-format
    desktop-file-utils appstream man-db groff-base dpkg-dev file
    git pre-commit python3-yaml
)
packages+=("$@")

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$p")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo_cmd=()
[ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -q
"${sudo_cmd[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"

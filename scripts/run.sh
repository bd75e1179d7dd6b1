#!/usr/bin/env bash
# Installs what is missing, builds the release flavour and starts quillmark on the bundled sample web.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
dir=$(scripts/build.sh release)
exec "$dir/bin/quillmark"

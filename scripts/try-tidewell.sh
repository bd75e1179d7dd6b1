#!/usr/bin/env bash
# Try tidewell on this machine: builds it for a local update server, starts pyftpdlib on
# 127.0.0.1 with a sample feed for two products, gives tidewell a registry file of its own with
# those products, and opens it. The feed is signed with a throwaway key that this build trusts. Closing tidewell stops the server and removes the sample files.
#
#   scripts/try-tidewell.sh            (TIDEWELL_TRY_PORT=2121 by default)
set -euo pipefail
cd "$(dirname "$0")/.."
top=$PWD
scripts/setup.sh
port=${TIDEWELL_TRY_PORT:-2121}
dir=build/tryit

work=$(mktemp -d)
server=
cleanup() {
    [ -n "$server" ] && kill "$server" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

# A throwaway signing key: tidewell is built to trust it, and the sample feed is signed with it.
cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQM_BUILD_TESTS=OFF -DQM_BUILD_BENCH=OFF \
    -DTIDEWELL_UPDATE_HOST=127.0.0.1 -DTIDEWELL_UPDATE_PORT="$port" >&2
cmake --build "$dir" --target tidewell-feed >&2
"$dir/bin/tidewell-feed" keygen --out "$work/try"
cmake -S . -B "$dir" -DTIDEWELL_SIGNING_KEYS="$(cat "$work/try.pub")" >&2
cmake --build "$dir" --target tidewell program_data >&2

# The feed: one folder per product with its signed version file and its package.
feed=$work/feed/tidefeed
mkdir -p "$feed/quillmark" "$feed/samples"
sign() { # FOLDER PACKAGE VERSION VERSIONFILE
    "$dir/bin/tidewell-feed" sign --key "$work/try.key" --package "$feed/$1/$2" --version "$3" \
        --expires 7 >"$feed/$1/$4"
}
for pkg in quillmark/quillmark-5.1.0.2.html samples/quillmark-samples-1.2.html; do
    name=$(basename "$pkg" .html)
    printf '<html><body><h1>%s</h1><p>This sample package was fetched from the local update server by Tidewell and opened by your desktop.</p></body></html>\r\n' \
        "$name" >"$feed/$pkg"
done
sign quillmark quillmark-5.1.0.2.html 5.1.0.2 qmver.txt
sign samples quillmark-samples-1.2.html 1.2 samplesver.txt

# The registry file: Quillmark is installed (with an uninstall key, so Install shows what happens
# where there is no Windows Installer); Quillmark Samples is not installed yet.
mkdir -p "$work/config/VRNH"
{
    printf 'REGEDIT4\r\n\r\n'
    printf '[HKEY_LOCAL_MACHINE\\SOFTWARE\\VRNH\\Updater]\r\n\r\n'
    printf '[HKEY_LOCAL_MACHINE\\SOFTWARE\\VRNH\\Updater\\Quillmark]\r\n'
    printf '"version1"="5.0.0.1"\r\n"f"="quillmark"\r\n"p"="qmver.txt"\r\n"productcode"="{6F1D3C5A-0E2B-4C11-9A50-00000000Q500}"\r\n\r\n'
    printf '[HKEY_LOCAL_MACHINE\\SOFTWARE\\VRNH\\Updater\\Quillmark Samples]\r\n'
    printf '"f"="samples"\r\n"p"="samplesver.txt"\r\n\r\n'
    printf '[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\{6F1D3C5A-0E2B-4C11-9A50-00000000Q500}]\r\n'
    printf '"UninstallString"="MsiExec.exe /X{6F1D3C5A-0E2B-4C11-9A50-00000000Q500}"\r\n'
} >"$work/config/VRNH/registry.reg"

# The update server, with the updater's login, on loopback only.
/usr/bin/python3 "$top/tests/ftp/ftpd.py" "$work/feed" --port "$port" >"$work/server.port" &
server=$!
for _ in $(seq 50); do
    [ -s "$work/server.port" ] && break
    sleep 0.1
done
[ -s "$work/server.port" ] || { echo "The update server did not start on port $port." >&2; exit 1; }
echo "Update server on 127.0.0.1:$port; registry file $work/config/VRNH/registry.reg" >&2

cd "$work"
XDG_CONFIG_HOME="$work/config" "$top/$dir/bin/tidewell"

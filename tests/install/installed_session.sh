#!/usr/bin/env bash
# Installs the programs into a prefix of their own, makes it read-only, and uses them there as an
# ordinary user under Xvfb, the way a packaged install is used: Check Current File, a batch of the
# sample web, the keyword generator writing into a copy of a page, and tidewell fetching a package
# from a local update server. Nothing may be written under the prefix.
#
#   installed_session.sh BUILD_DIR SOURCE_DIR
set -uo pipefail
build=$(cd "$1" && pwd)
source=$(cd "$2" && pwd)
skip() { echo "SKIP: $*"; exit 77; }
[ "$(id -u)" -eq 0 ] || skip "needs root: it runs the programs as user nobody and serves FTP on port 21"
for tool in Xvfb xdotool setpriv python3; do
    command -v "$tool" >/dev/null || skip "$tool is not installed"
done

work=$(mktemp -d /tmp/installed-session.XXXXXX)
chmod 755 "$work"
prefix=$work/prefix
home=$work/home
pids=()
cleanup() {
    for p in "${pids[@]}"; do kill "$p" 2>/dev/null; done
    wait 2>/dev/null
    chmod -R u+w "$work" 2>/dev/null
    [ -n "${KEEP_SESSION:-}" ] || rm -rf "$work"
}
trap cleanup EXIT
fail() {
    echo "FAIL: $*" >&2
    if [ -n "${DISPLAY:-}" ]; then
        xdotool search --onlyvisible --name . getwindowname %@ 2>/dev/null | sort -u | sed 's/^/  window: /' >&2
        command -v import >/dev/null && import -window root "$work/failed.png" 2>/dev/null &&
            echo "  screen: $work/failed.png (KEEP_SESSION=1 keeps it)" >&2
    fi
    for f in "$work"/*.err; do [ -s "$f" ] && { echo "--- $f" >&2; tail -20 "$f" >&2; }; done
    exit 1
}

# The install, read-only for everyone, and what it holds before the session.
cmake --install "$build" --prefix "$prefix" >"$work/install.log" 2>&1 || { cat "$work/install.log"; fail "cmake --install"; }
chmod -R a-w "$prefix"
chmod -R a+rX "$prefix"
state() { find "$prefix" -printf '%P %y %s %m %T@\n' | sort; }
state >"$work/prefix.before"

mkdir -p "$home"
chown 65534:65534 "$home"
as_user() {
    setpriv --reuid=65534 --regid=65534 --clear-groups env -i HOME="$home" PATH=/usr/bin:/bin \
        DISPLAY="$DISPLAY" XDG_CONFIG_HOME="$home/.config" XDG_CACHE_HOME="$home/.cache" \
        XDG_DATA_HOME="$home/.local/share" XDG_RUNTIME_DIR="$home/run" QT_QPA_PLATFORM=xcb \
        ASAN_OPTIONS=detect_leaks=0 "$@"
}

exec 3>"$work/display"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
pids+=($!)
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
[ -s "$work/display" ] || fail "Xvfb did not start"
export DISPLAY=":$(cat "$work/display")"
as_user mkdir -m 700 "$home/run"

# The id of the newest window whose title matches, waiting for it.
window() {
    local w
    for _ in $(seq 150); do
        w=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | tail -1)
        [ -n "$w" ] && { echo "$w"; return 0; }
        sleep 0.1
    done
    return 1
}
gone() {
    for _ in $(seq 150); do
        xdotool search --onlyvisible --name "$1" >/dev/null 2>&1 || return 0
        sleep 0.1
    done
    return 1
}
# Keys to the window whose title matches.
keys() {
    local w
    w=$(window "$1") || fail "no window \"$1\" for keys ${*:2}"
    xdotool windowfocus --sync "$w" && sleep 0.5 && xdotool key --delay 250 "${@:2}"
}
ended() { # pid, seconds
    for _ in $(seq $(($2 * 10))); do kill -0 "$1" 2>/dev/null || return 0; sleep 0.1; done
    return 1
}

main='^Quillmark for FrontPage.'
box='^Quillmark for FrontPage$'
save_results() { # file
    keys "$main" alt+f v
    local w
    w=$(window '^Save As$') || fail "no Save As dialog"
    xdotool windowfocus --sync "$w"
    xdotool type --delay 10 "$1"
    xdotool key Return
    keys "$box" Return
    for _ in $(seq 50); do [ -s "$1" ] && return 0; sleep 0.1; done
    fail "the results were not saved to $1"
}

# 1. The sample web the install delivers: the current page, then a batch of every page.
as_user "$prefix/bin/quillmark" >"$work/quillmark1.out" 2>"$work/quillmark1.err" &
qm=$!
pids+=($qm)
window "$main" >/dev/null || fail "quillmark did not open its window"
sleep 1
keys "$main" ctrl+o
keys "$box" alt+n
save_results "$home/current.rls"
grep -q "^File = index.htm" "$home/current.rls" || fail "Check Current File did not check index.htm"

keys "$main" alt+f b
keys '^Batch Check for' alt+f s
keys '^Batch Check for' alt+f f
keys "$box" alt+n
save_results "$home/batch.rls"
pages=$(cd "$prefix/share/quillmark/sampleweb" && find . -name '*.htm*' | wc -l)
checked=$(grep -c "^File = " "$home/batch.rls")
# Every page is named in the passed or failed pane and again in the keyword pane.
[ "$checked" -ge "$pages" ] || fail "the batch named $checked pages of $pages"
keys "$main" alt+f x
ended "$qm" 15 || fail "quillmark did not end on File > Exit"
wait "$qm" || fail "quillmark ended with status $?"

# The installed checker gives the window's batch results for the same web.
as_user "$prefix/bin/quillmark-check" --quiet --results "$home/check.rls" --report "$home/check.html" \
    "$prefix/share/quillmark/sampleweb" >"$work/check.out" 2>"$work/check.err"
status=$?
[ "$status" -le 1 ] || fail "quillmark-check could not check the installed sample web (status $status)"
cmp "$home/batch.rls" "$home/check.rls" >&2 || fail "quillmark-check's results differ from the window's batch"
# The report carries the installed logo itself, so that it shows wherever it is kept.
grep -o 'src="data:image/gif;base64,[^"]*"' "$home/check.html" | sed 's/^src="[^,]*,//; s/"$//' |
    base64 -d | cmp - "$prefix/share/quillmark/dorazo/logo22-gif.gif" >&2 ||
    fail "the report does not carry the installed logo"

# 2. The keyword generator on a copy of the sample web, writing the picked word into the page.
as_user cp -r "$prefix/share/quillmark/sampleweb" "$home/web"
as_user chmod -R u+w "$home/web"
as_user mkdir -p "$home/.config/VRNH"
printf 'REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\Software\\VRNH\\LocalWeb]\r\n"web"="%s"\r\n"page"="index.htm"\r\n\r\n' \
    "$home/web" | as_user tee "$home/.config/VRNH/registry.reg" >/dev/null
keywords() { grep -io '<meta name="keywords" content="[^"]*"' "$1" | sed 's/.*content="//; s/"$//'; }
before=$(keywords "$home/web/index.htm")
as_user "$prefix/bin/quillmark" >"$work/quillmark2.out" 2>"$work/quillmark2.err" &
qm=$!
pids+=($qm)
window "$main" >/dev/null || fail "quillmark did not open its window again"
sleep 1
keys "$main" alt+s g
kw=$(window 'keyword generator') || fail "no keyword generator"
xdotool windowfocus --sync "$kw"
# The third word of the list: the first two are the page's keywords already.
xdotool mousemove --window "$kw" 45 162 click 1
sleep 0.3
keys 'keyword generator' alt+k
keys "$box" Return
keys 'keyword generator' alt+c
gone 'keyword generator' || fail "the keyword generator did not close"
sleep 1
after=$(keywords "$home/web/index.htm")
# The picked word joins the page's keywords, which stay as they were.
[ "$after" != "$before" ] && [[ "$after" == *"$before"* ]] ||
    fail "the keywords tag was not extended: before $before, after $after"
keys "$main" alt+f x
ended "$qm" 15 || fail "quillmark did not end on File > Exit"

# 3. tidewell: one product with a newer version on the update server.
feed=$work/feed/tidefeed/quillmark
mkdir -p "$feed"
printf '5.1.0.2\r\nquillmark-5.1.0.2.html\r\n' >"$feed/qmver.txt"
printf '<html><body>package</body></html>\r\n' >"$feed/quillmark-5.1.0.2.html"
/usr/bin/python3 "$source/tests/ftp/ftpd.py" "$work/feed" --port 21 >"$work/ftpd.port" 2>"$work/ftpd.err" &
pids+=($!)
for _ in $(seq 50); do [ -s "$work/ftpd.port" ] && break; sleep 0.1; done
[ -s "$work/ftpd.port" ] || skip "no FTP server on port 21 (in use?)"
printf 'REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\VRNH\\Updater]\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\VRNH\\Updater\\Quillmark]\r\n"version1"="5.0.0.1"\r\n"f"="quillmark"\r\n"p"="qmver.txt"\r\n\r\n' |
    as_user tee "$home/.config/VRNH/registry.reg" >/dev/null
as_user "$prefix/bin/tidewell" >"$work/tidewell.out" 2>"$work/tidewell.err" &
tw=$!
pids+=($tw)
tidewell=$(window '^Varnholt Tidewell$') || fail "tidewell did not open its window"
exit_button=$tidewell
sleep 1
xdotool windowfocus --sync "$tidewell" && xdotool key alt+c
# "An update is available for Quillmark.": the box has the window's title.
for _ in $(seq 100); do
    [ "$(xdotool search --onlyvisible --name '^Varnholt Tidewell$' | wc -l)" -ge 2 ] && break
    sleep 0.1
done
keys '^Varnholt Tidewell$' Return
sleep 0.5
# Tick the product, then Get Update.
xdotool windowfocus --sync "$tidewell" && xdotool mousemove --window "$tidewell" 26 88 click 1
sleep 0.3
xdotool windowfocus --sync "$tidewell" && xdotool key alt+g
for _ in $(seq 100); do
    package=$(find "$home/.cache" -name 'quillmark-5.1.0.2.html' -size +0 2>/dev/null | head -1)
    [ -n "$package" ] && break
    sleep 0.1
done
[ -n "$package" ] || fail "tidewell did not download the package into the user's cache"
cmp -s "$package" "$feed/quillmark-5.1.0.2.html" || fail "the downloaded package differs"
keys '^Varnholt Tidewell$' Return
sleep 0.3
# The Exit button, the first picture on the toolbar.
xdotool windowfocus --sync "$exit_button" && xdotool mousemove --window "$exit_button" 347 192 click 1
ended "$tw" 15 || fail "tidewell did not end on Exit"

# 4. The install is as it was, and nothing was written where the programs were started.
state >"$work/prefix.after"
diff -u "$work/prefix.before" "$work/prefix.after" >&2 || fail "the session changed files under the prefix"
grep -l "Permission denied" "$work"/*.err && fail "a program met a permission it should not need"
echo "The installed programs ran read-only as user nobody; their files are in:"
(cd "$home" && find .cache .local -type f 2>/dev/null | sort | sed 's/^/  ~\//')
exit 0

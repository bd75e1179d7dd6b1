#!/usr/bin/env bash
# quillmark-check on a site given by its address: the corpus web served by a local nginx twice, once
# with a sitemap and once without (pages found by their links, through an index page generated for
# every folder), then wget's recursive download and linkchecker on the second server, for scale.
# Each line is the median of REPEATS runs: wall seconds and peak resident memory (/usr/bin/time),
# the requests nginx answered during the run, and the pages the tool says it checked.
# Nothing is written into the corpus: the server's files, the sitemap and the index pages are
# made in a temporary folder that is removed on every way out, with nginx stopped.
# Usage: bench/site_bench.sh CORPUS_DIR [REPEATS] [--build DIR] [--timeout S] [--no-linkchecker]
#        bench/site_bench.sh CORPUS_DIR --serve     # only start the servers, until interrupted
set -euo pipefail
cd "$(dirname "$0")/.."
usage="usage: bench/site_bench.sh CORPUS_DIR [REPEATS] [--build DIR] [--timeout S] [--no-linkchecker] [--serve]"
corpus=${1:?$usage}
shift
repeats=3
if [ $# -gt 0 ] && [[ $1 != --* ]]; then
    repeats=$1
    shift
fi
build=""
tool_timeout=3600 # seconds of one run of any of the commands
linkchecker=1
serve=0
while [ $# -gt 0 ]; do
    case "$1" in
        --build) build=${2:?$usage}; shift 2 ;;
        --timeout) tool_timeout=${2:?$usage}; shift 2 ;;
        --no-linkchecker) linkchecker=0; shift ;;
        --serve) serve=1; shift ;;
        *) echo "$usage" >&2; exit 2 ;;
    esac
done
[[ $repeats =~ ^[1-9][0-9]*$ ]] || { echo "$usage" >&2; exit 2; }
[[ $tool_timeout =~ ^[1-9][0-9]*$ ]] || { echo "$usage" >&2; exit 2; }
web=$(cd "$corpus" 2>/dev/null && cd web 2>/dev/null && pwd) ||
    { echo "no web under $corpus (make it with ../shared/bench/gen_corpus.py --out $corpus)" >&2; exit 2; }
for tool in /usr/sbin/nginx /usr/bin/time curl wget python3; do
    command -v "$tool" >/dev/null || { echo "$tool is missing: run scripts/setup.sh" >&2; exit 2; }
done
if [ "$linkchecker" = 1 ] && ! command -v linkchecker >/dev/null; then
    echo "linkchecker is missing: run scripts/setup.sh" >&2
    exit 2
fi
if [ "$serve" = 0 ]; then
    if [ -z "$build" ]; then
        build=$(scripts/build.sh release)
    fi
    exe="$build/bin/quillmark-check"
    [ -x "$exe" ] || { echo "no $exe: build the Release flavour first (scripts/build.sh release)" >&2; exit 2; }
fi

tmp=$(mktemp -d)
nginx_pid=""
stop() {
    if [ -n "$nginx_pid" ]; then
        kill "$nginx_pid" 2>/dev/null || true # TERM: the master stops its workers
        wait "$nginx_pid" 2>/dev/null || true
        nginx_pid=""
    fi
    rm -rf "$tmp"
}
trap stop EXIT
trap 'exit 130' INT
trap 'exit 143' TERM HUP

calc() { awk "BEGIN { print $1 }"; }

# Three free loopback ports: the site with a sitemap, the site without, nginx's counters.
read -r port_map port_crawl port_status < <(python3 -c '
import socket
socks = [socket.socket() for _ in range(3)]
for s in socks:
    s.bind(("127.0.0.1", 0))
print(*(s.getsockname()[1] for s in socks))')
site_map="http://127.0.0.1:$port_map/"
site_crawl="http://127.0.0.1:$port_crawl/"

# The generated name of a folder's index page; no corpus file may have it.
index_name="qm-site-bench-index.html"
if [ -n "$(find "$web" -name "$index_name" -print -quit)" ]; then
    echo "the corpus holds a file named $index_name: the index pages cannot be told apart" >&2
    exit 2
fi

# The sitemap of every page, and an index page for every folder that holds pages below it, linking
# its pages and its subfolders' index pages. The pages are the file types the checker takes.
mkdir -p "$tmp/index" "$tmp/nginx"
read -r pages folders < <(python3 - "$web" "$tmp" "$site_map" "$index_name" <<'EOF'
import html, os, sys
from urllib.parse import quote

web, tmp, base, index_name = sys.argv[1:]
types = (".htm", ".html", ".asp", ".shtml", ".shtm")
pages = {}      # folder ("" or "a/b") -> its page names
children = {}   # folder -> its subfolders' names
for top, dirs, files in os.walk(web):
    dirs.sort()
    rel = os.path.relpath(top, web)
    rel = "" if rel == "." else rel
    names = sorted(f for f in files if f.lower().endswith(types))
    if names:
        pages[rel] = names
folders = set(pages)
for f in list(folders):  # every ancestor of a folder with pages, up to the root
    while f:
        parent = os.path.dirname(f)
        children.setdefault(parent, set()).add(os.path.basename(f))
        folders.add(parent)
        f = parent
folders.add("")
count = sum(len(v) for v in pages.values())
if count > 50000:
    sys.exit(f"{count} pages: a sitemap holds at most 50,000")

def url_path(folder, name):
    return "/".join(quote(p, safe="") for p in folder.split("/") + [name] if p)

with open(os.path.join(tmp, "sitemap.xml"), "w", encoding="utf-8") as out:
    out.write('<?xml version="1.0" encoding="UTF-8"?>\n')
    out.write('<urlset xmlns="http://www.sitemaps.org/schemas/sitemap/0.9">\n')
    for folder in sorted(pages):
        for name in pages[folder]:
            out.write(f"<url><loc>{html.escape(base + url_path(folder, name))}</loc></url>\n")
    out.write("</urlset>\n")

for folder in folders:
    target = os.path.join(tmp, "index", folder)
    os.makedirs(target, exist_ok=True)
    shown = "/" + folder + ("/" if folder else "")
    with open(os.path.join(target, index_name), "w", encoding="utf-8") as out:
        out.write('<!DOCTYPE html>\n<html lang="en">\n<head>\n<meta charset="utf-8">\n')
        out.write(f"<title>Index of {html.escape(shown)}</title>\n")
        out.write(f'<meta name="description" content="The pages and folders of {html.escape(shown)}">\n')
        out.write("</head>\n<body>\n<ul>\n")
        for sub in sorted(children.get(folder, ())):
            out.write(f'<li><a href="{quote(sub, safe="")}/">{html.escape(sub)}/</a></li>\n')
        for name in pages.get(folder, ()):
            out.write(f'<li><a href="{quote(name, safe="")}">{html.escape(name)}</a></li>\n')
        out.write("</ul>\n</body>\n</html>\n")
print(count, len(folders))
EOF
)

# Workers started by root run as nobody, who may not read the temporary folder or the corpus.
user_line=""
[ "$(id -u)" -ne 0 ] || user_line="user root root;"
cat >"$tmp/nginx/nginx.conf" <<EOF
$user_line
daemon off;
worker_processes 1;
pid $tmp/nginx/nginx.pid;
error_log $tmp/nginx/error.log warn;
events { worker_connections 1024; }
http {
    access_log off;
    sendfile on;
    tcp_nopush on;
    keepalive_timeout 65;
    keepalive_requests 1000000;
    server_tokens off;
    client_body_temp_path $tmp/nginx/body;
    proxy_temp_path $tmp/nginx/proxy;
    fastcgi_temp_path $tmp/nginx/fastcgi;
    uwsgi_temp_path $tmp/nginx/uwsgi;
    scgi_temp_path $tmp/nginx/scgi;
    types {
        text/html html htm shtml shtm asp;
        text/xml xml;
        text/plain txt;
        text/css css;
        application/javascript js;
        image/gif gif;
        image/jpeg jpg jpeg;
        image/png png;
    }
    default_type application/octet-stream;

    # The site with a sitemap.
    server {
        listen 127.0.0.1:$port_map;
        root $web;
        location = /sitemap.xml {
            alias $tmp/sitemap.xml;
        }
        location / {
        }
    }

    # The site whose pages are found by their links: a folder's address answers its index page.
    server {
        listen 127.0.0.1:$port_crawl;
        root $web;
        # Lets linkchecker go faster than 10 requests a second (with its own maxrequestspersecond).
        add_header LinkChecker unthrottled always;
        location = /sitemap.xml {
            return 404;
        }
        location ~ ^(?<folder>.*/)\$ {
            root $tmp/index;
            try_files \${folder}$index_name =404;
        }
        # The corpus pages link mostly to addresses that lead nowhere: as a site would, the
        # server says that their links are not to be followed; the index pages lead on.
        location / {
            add_header X-Robots-Tag "nofollow";
            add_header LinkChecker unthrottled always;
        }
    }

    server {
        listen 127.0.0.1:$port_status;
        location = /status {
            stub_status;
        }
    }
}
EOF
/usr/sbin/nginx -p "$tmp/nginx" -c "$tmp/nginx/nginx.conf" -e "$tmp/nginx/error.log" &
nginx_pid=$!
status_url="http://127.0.0.1:$port_status/status"
for _ in $(seq 100); do
    curl -sf -o /dev/null "$status_url" && break
    kill -0 "$nginx_pid" 2>/dev/null || break
    sleep 0.05
done
if ! curl -sf -o /dev/null "$status_url"; then
    echo "nginx did not start:" >&2
    tail -n 5 "$tmp/nginx/error.log" >&2 || true
    exit 2
fi

# The requests nginx has answered so far (the counter's own requests included).
requests() { curl -sf "$status_url" | awk 'NR == 3 { print $3 }'; }

# The servers answer what they should: every page in the sitemap, the sitemap only on the first,
# the root index linking every top folder, a page the same on both.
http_code() { curl -s -o /dev/null -w '%{http_code}' "$1"; }
in_map=$(curl -sf "${site_map}sitemap.xml" | grep -c '<loc>' || true)
[ "$in_map" = "$pages" ] || { echo "the sitemap lists $in_map pages, not $pages" >&2; exit 1; }
[ "$(http_code "${site_crawl}sitemap.xml")" = 404 ] || { echo "the second server answers a sitemap" >&2; exit 1; }
first=$(find "$web" -type f -iname '*.htm*' -print -quit)
first=${first#"$web"/}
if [ "$(http_code "$site_map$first")" != 200 ] || [ "$(http_code "$site_crawl$first")" != 200 ]; then
    echo "a page of the corpus is not served: $first" >&2
    exit 1
fi
# From the root index, the index pages lead to every folder and every page.
reached=$(python3 - "$site_crawl" <<'EOF'
import re, sys, urllib.request
root = sys.argv[1]
todo, seen, pages = [root], {root}, set()
while todo:
    url = todo.pop()
    with urllib.request.urlopen(url) as answer:
        body = answer.read().decode("utf-8")
    for link in re.findall(r'href="([^"]+)"', body):
        target = url + link
        if not link.endswith("/"):
            pages.add(target)
        elif target not in seen:
            seen.add(target)
            todo.append(target)
print(len(pages), len(seen))
EOF
)
[ "$reached" = "$pages $folders" ] ||
    { echo "the index pages lead to $reached pages and folders, not $pages $folders" >&2; exit 1; }

printf 'corpus web: %s, %d pages in %d folders (with the root)\n' "$web" "$pages" "$folders"
printf 'with a sitemap: %ssitemap.xml; by links: %s\n' "$site_map" "$site_crawl"
if [ "$serve" = 1 ]; then
    echo "serving until interrupted"
    wait "$nginx_pid" || true
    exit 0
fi

# One timed run: "SECONDS PEAK_KB STATUS REQUESTS" of the command, whose standard output and error
# go to $tmp/out and $tmp/err; stopped after the timeout.
timed() {
    local before after
    before=$(requests)
    /usr/bin/time -o "$tmp/time" -f '%e %M' timeout -k 10 "$tool_timeout" "$@" >"$tmp/out" 2>"$tmp/err" &&
        status=0 || status=$?
    after=$(requests)
    # A command killed by a signal leaves a note of it above the figures.
    echo "$(tail -n 1 "$tmp/time") $status $((after - before - 1))"
}

median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

rows=()
declare -A seconds_of
# measure NAME PAGES_FUNCTION OK_STATUSES COMMAND...: the median of REPEATS runs; stops at the
# first run that times out or answers another status.
measure() {
    local name=$1 pages_of=$2 ok=$3
    shift 3
    local secs=() kbs=() reqs=() line s kb st rq note=""
    for _ in $(seq "$repeats"); do
        line=$(timed "$@")
        read -r s kb st rq <<<"$line"
        if [ "$st" = 124 ] || [ "$st" = 137 ]; then # stopped by timeout: TERM, else KILL
            note=$(printf 'did not finish within %d s: %d requests answered, %.0f a second' \
                "$tool_timeout" "$rq" "$(calc "$rq / $s")")
            break
        fi
        if [[ " $ok " != *" $st "* ]]; then
            note="exit status $st"
            echo "$name: exit status $st; its last lines:" >&2
            tail -n 5 "$tmp/err" >&2
            break
        fi
        secs+=("$s")
        kbs+=("$kb")
        reqs+=("$rq")
    done
    if [ -n "$note" ]; then
        rows+=("$(printf '%-44s %s' "$name" "$note")")
        return
    fi
    local sec mb rq_m pg
    sec=$(printf '%s\n' "${secs[@]}" | median)
    mb=$(calc "$(printf '%s\n' "${kbs[@]}" | median) / 1024")
    rq_m=$(printf '%s\n' "${reqs[@]}" | median)
    pg=$("$pages_of")
    seconds_of[$name]=$sec
    rows+=("$(printf '%-44s %8.2f %8.1f %9.0f %7s' "$name" "$sec" "$mb" "$rq_m" "$pg")")
}

# The rule values are the editor's starting values; the checker's files stay in the temporary folder.
mkdir -p "$tmp/home/config" "$tmp/home/cache" "$tmp/home/data"
home_env=(env HOME="$tmp/home" XDG_CONFIG_HOME="$tmp/home/config" XDG_CACHE_HOME="$tmp/home/cache"
    XDG_DATA_HOME="$tmp/home/data")

# The pages of an untimed run with a JSON file, as its summary counts them.
site_for_pages=""
pages_options=()
quillmark_pages() {
    "${home_env[@]}" timeout "$tool_timeout" "$exe" --quiet --json "$tmp/run.json" \
        "${pages_options[@]}" "$site_for_pages" \
        >/dev/null 2>&1 || true
    python3 -c 'import json, sys; print(json.load(open(sys.argv[1]))["summary"]["pages"])' \
        "$tmp/run.json" 2>/dev/null || echo "-"
    rm -f "$tmp/run.json"
}
no_pages() { echo "-"; }

site_for_pages=$site_map
measure "a. quillmark-check, sitemap" quillmark_pages "0 1" "${home_env[@]}" "$exe" --quiet "$site_map"
site_for_pages=$site_crawl
pages_options=(--max-pages 20000)
# The index pages are pages too: 10,726 in all, past the default of 10,000.
measure "b. quillmark-check, by links" quillmark_pages "0 1" "${home_env[@]}" "$exe" --quiet --max-pages 20000 "$site_crawl"

mkdir -p "$tmp/wget"
# wget answers 8 when some answers were errors: the dead links of the corpus.
measure "c. wget --recursive, one connection" no_pages "0 8" \
    wget -e robots=off --recursive --level=inf --delete-after -q -P "$tmp/wget" "$site_crawl"

if [ "$linkchecker" = 1 ]; then
    # Unlimited recursion, external links only checked for their syntax, no file output. Status 1:
    # broken links found. Its closing count of URLs stops at the size of its result cache
    # (100,000), so only the requests tell how much it fetched.
    # Its wait between requests to one host is lifted: the second server answers the header
    # that allows it.
    printf '[checking]\nmaxrequestspersecond=1000000\n' >"$tmp/linkcheckerrc"
    lc=(linkchecker -f "$tmp/linkcheckerrc" --recursion-level=-1 --no-status --no-warnings --timeout 60)
    measure "d. linkchecker -t 1" no_pages "0 1" "${home_env[@]}" "${lc[@]}" -t 1 "$site_crawl"
    measure "d. linkchecker, default threads" no_pages "0 1" "${home_env[@]}" "${lc[@]}" "$site_crawl"
fi

printf '\nmedian of %d runs; requests: answered by nginx during a run; pages: as the tool counts them\n' "$repeats"
printf '(quillmark-check: its JSON summary in one more run)\n\n'
printf '%-44s %8s %8s %9s %7s\n' "what" "seconds" "peak MB" "requests" "pages"
printf '%s\n' "${rows[@]}"
echo
a=${seconds_of["a. quillmark-check, sitemap"]:-}
b=${seconds_of["b. quillmark-check, by links"]:-}
if [ -n "$a" ]; then
    a_mb=$(printf '%s\n' "${rows[@]}" | awk '/^a\. / { print $(NF - 2) }')
    printf 'goal a: at most 4 s and 150 MB: %s s, %s MB: %s\n' "$a" "$a_mb" \
        "$([ "$(calc "$a <= 4 && $a_mb <= 150")" = 1 ] && echo met || echo missed)"
else
    echo "goal a: not measured"
fi
if [ -n "$a" ] && [ -n "$b" ]; then
    ratio=$(calc "$b / $a")
    printf 'goal b: at most 1.5 times a: %.2f: %s\n' "$ratio" \
        "$([ "$(calc "$ratio <= 1.5")" = 1 ] && echo met || echo missed)"
else
    echo "goal b: not measured"
fi

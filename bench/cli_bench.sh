#!/usr/bin/env bash
# quillmark-check on the corpus web: the default number of jobs against --jobs 1 (best of REPEATS
# each), the JSON and SARIF outputs against the text, then HTMLHint with only its title and description rules on the same web, for scale.
# With --large DIR also the peak memory and the time on a web of ten times the pages: DIR/web,
# made of hard-linked copies of the corpus web when it is not there yet.
# Usage: bench/cli_bench.sh CORPUS_DIR [REPEATS] [--large DIR] [--no-htmlhint]
set -euo pipefail
cd "$(dirname "$0")/.."
usage="usage: bench/cli_bench.sh CORPUS_DIR [REPEATS] [--large DIR] [--no-htmlhint]"
corpus=${1:?$usage}
shift
repeats=5
if [ $# -gt 0 ] && [[ $1 != --* ]]; then
    repeats=$1
    shift
fi
large=""
htmlhint=1
while [ $# -gt 0 ]; do
    case "$1" in
        --large) large=${2:?$usage}; shift 2 ;;
        --no-htmlhint) htmlhint=0; shift ;;
        *) echo "$usage" >&2; exit 2 ;;
    esac
done
web="$corpus/web"
[ -d "$web" ] || { echo "no web under $corpus (make it with ../shared/bench/gen_corpus.py --out $corpus)" >&2; exit 2; }
dir=$(scripts/build.sh release)
exe="$dir/bin/quillmark-check"
pages=$(find "$web" -type f \( -iname '*.htm' -o -iname '*.html' -o -iname '*.shtml' -o -iname '*.asp' -o -iname '*.stm' \) | wc -l)

# A configuration folder of its own: the rule values are the editor's starting values.
config=$(mktemp -d)
trap 'rm -rf "$config"' EXIT

calc() { awk "BEGIN { print $1 }"; }

best() { # best wall time in seconds of REPEATS runs of the command
    local b=""
    for _ in $(seq "$repeats"); do
        local s t
        s=$EPOCHREALTIME
        XDG_CONFIG_HOME="$config" "$@" >/dev/null 2>&1 || [ $? -eq 1 ]
        t=$(calc "$EPOCHREALTIME - $s")
        if [ -z "$b" ] || [ "$(calc "$t < $b")" = 1 ]; then b=$t; fi
    done
    echo "$b"
}

XDG_CONFIG_HOME="$config" "$exe" --jobs 1 "$web" >"$config/one.txt" || [ $? -eq 1 ]
XDG_CONFIG_HOME="$config" "$exe" "$web" >"$config/all.txt" || [ $? -eq 1 ]
cmp -s "$config/one.txt" "$config/all.txt" || { echo "the outputs of --jobs 1 and the default differ" >&2; exit 1; }

default_t=$(best "$exe" "$web")
one_t=$(best "$exe" --jobs 1 "$web")
printf 'pages: %d, processors: %d, output lines: %d (identical for both)\n' "$pages" "$(nproc)" "$(wc -l <"$config/one.txt")"
printf 'quillmark-check, default jobs: %6.3f s  %7.0f pages/s\n' "$default_t" "$(calc "$pages / $default_t")"
printf 'quillmark-check, --jobs 1:     %6.3f s  %7.0f pages/s\n' "$one_t" "$(calc "$pages / $one_t")"
printf 'rate of the default jobs over --jobs 1: %.2f\n' "$(calc "$one_t / $default_t")"

# The machine-readable outputs on standard output instead of the panes, default jobs.
json_t=$(best "$exe" --format json "$web")
sarif_t=$(best "$exe" --format sarif "$web")
printf 'quillmark-check --format json:  %6.3f s  %7.0f pages/s, %.2f times the text time\n' \
    "$json_t" "$(calc "$pages / $json_t")" "$(calc "$json_t / $default_t")"
printf 'quillmark-check --format sarif: %6.3f s  %7.0f pages/s, %.2f times the text time\n' \
    "$sarif_t" "$(calc "$pages / $sarif_t")" "$(calc "$sarif_t / $default_t")"

if [ -n "$large" ]; then
    if [ ! -d "$large/web" ]; then
        mkdir -p "$large/web"
        for i in $(seq 0 9); do cp -al "$web" "$large/web/copy$i"; done
    fi
    peak() { # the checker's maximum resident set in MB, default jobs (what time -v reports)
        XDG_CONFIG_HOME="$config" /usr/bin/python3 -c '
import resource, subprocess, sys
subprocess.run(sys.argv[1:], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
print(resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss / 1024)' "$exe" "$1"
    }
    large_pages=$(find "$large/web" -type f \( -iname '*.htm' -o -iname '*.html' -o -iname '*.shtml' \
        -o -iname '*.asp' -o -iname '*.stm' \) | wc -l)
    large_t=$(best "$exe" "$large/web")
    printf 'quillmark-check on %d pages, default jobs: %6.3f s  %7.0f pages/s, %.2f times the time of %d pages\n' \
        "$large_pages" "$large_t" "$(calc "$large_pages / $large_t")" "$(calc "$large_t / $default_t")" "$pages"
    printf 'peak resident memory: %.1f MB on %d pages, %.1f MB on %d pages\n' \
        "$(peak "$large/web")" "$large_pages" "$(peak "$web")" "$pages"
fi
[ "$htmlhint" = 1 ] || exit 0

# HTMLHint from the npm registry, into the build folder.
tools="$dir/bench-tools"
if [ ! -x "$tools/node_modules/.bin/htmlhint" ]; then
    mkdir -p "$tools"
    npm install --prefix "$tools" --silent --no-audit --no-fund htmlhint@1.9 >/dev/null
fi
printf '{ "title-require": true, "meta-description-require": true }\n' >"$config/htmlhintrc"
s=$EPOCHREALTIME
"$tools/node_modules/.bin/htmlhint" --config "$config/htmlhintrc" "$web" >/dev/null 2>&1 || true
hint_t=$(calc "$EPOCHREALTIME - $s")
printf 'HTMLHint %s, title and description rules: %6.3f s  %7.0f pages/s\n' \
    "$("$tools/node_modules/.bin/htmlhint" --version)" "$hint_t" "$(calc "$pages / $hint_t")"

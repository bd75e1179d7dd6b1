#!/usr/bin/env bash
# quillmark-check on the corpus web: the default number of jobs against --jobs 1 (best of REPEATS
# each), then HTMLHint with only its title and description rules on the same web, for scale.
# Usage: bench/cli_bench.sh CORPUS_DIR [REPEATS]
set -euo pipefail
cd "$(dirname "$0")/.."
corpus=${1:?usage: bench/cli_bench.sh CORPUS_DIR [REPEATS]}
repeats=${2:-5}
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

#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (ASan + UBSan) and runs each for SECONDS (default 60),
# starting from the seeds in tests/fuzz/seeds. Prints executions, corpus size and coverage per
# target, and any finding (a crash-*/leak-*/timeout-* file under build/fuzz/findings/).
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
shift || true
scripts/setup.sh clang libclang-rt-14-dev
dir=build/fuzz
cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
    -DQM_FUZZ=ON -DQM_BUILD_TESTS=OFF -DQM_BUILD_BENCH=OFF >/dev/null
cmake --build "$dir" --target fuzzers
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=($(cd "$dir/fuzz" && ls fuzz_*))
mkdir -p "$dir/findings"
status=0
for t in "${targets[@]}"; do
    corpus="$dir/corpus/$t"
    mkdir -p "$corpus"
    [ -d "tests/fuzz/seeds/$t" ] && cp -n tests/fuzz/seeds/$t/* "$corpus/" 2>/dev/null || true
    log="$dir/findings/$t.log"
    if "$dir/fuzz/$t" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len=65536 \
        -artifact_prefix="$dir/findings/$t-" "$corpus" >"$log" 2>&1; then
        result=ok
    else
        result=FINDING
        status=1
    fi
    line=$(grep -E '^#[0-9]+' "$log" | tail -n 1)
    printf '%-20s %-8s %s\n' "$t" "$result" "$line"
done
exit $status

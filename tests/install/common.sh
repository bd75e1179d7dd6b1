# Shared by the install tests: failing with a message, and tools that must be there.
failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}
need() { # tool, the package that setup.sh installs it from
    command -v "$1" >/dev/null || { echo "FAIL: $1 is missing (scripts/setup.sh installs $2)" >&2; exit 1; }
}
finish() {
    if [ "$failures" -gt 0 ]; then
        echo "$failures check(s) failed" >&2
        exit 1
    fi
    echo "all checks passed"
}

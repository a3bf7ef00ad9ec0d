# Sourced by the set-up script tests: $root (the checkout), a scratch folder
# $work with $work/bin for stand-ins, removed at the exit, and the verdicts.
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/bin"

passed=0
failed=0
check() {  # check NAME CONDITION...: one verdict of the current case ($case_name)
    local name=$1
    shift
    if "$@"; then passed=$((passed + 1)); else failed=$((failed + 1)); echo "FAIL: $case_name: $name"; fi
}
# summarize NAME: the closing line "NAME: N passed, M failed", and the status.
summarize() {
    echo "$1: $passed passed, $failed failed"
    [ "$failed" -eq 0 ]
}

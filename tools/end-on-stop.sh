# Sourced by ./test and ./run (bash): whatever stops the script (Ctrl+C,
# SIGTERM, a CI time limit, the terminal closing) ends every process it
# started. Each one inherits the mark QB480_RUN, the Wine servers and
# programs that run detached too, and tools/end-run.sh ends them by it. A
# script killed outright leaves no keeper either: keepdesktop.exe ends when
# its ctest is gone, and the prefix's server a few seconds later.
export QB480_RUN="$(basename "$0")-$$-$(date +%s%N)"
qb480_stopped() {
    trap '' INT TERM HUP
    echo >&2
    echo "$(basename "$0"): stopped by SIG$1; ending every process it started" >&2
    tools/end-run.sh "$QB480_RUN" $$
    exit "$2"
}
trap 'qb480_stopped INT 130' INT
trap 'qb480_stopped TERM 143' TERM
trap 'qb480_stopped HUP 129' HUP

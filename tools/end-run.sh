#!/usr/bin/env bash
# Ends every process of a stopped run of ./test or ./run:
#   tools/end-run.sh MARK RUN_PID
# MARK is the run's QB480_RUN value, which every process it started
# inherits, the detached ones too (Wine's servers and programs, which
# winefixture.sh starts in sessions of their own, and Xvfb); RUN_PID is the
# script itself, whose descendants end too (apt under sudo loses the mark).
# First each Wine prefix of this checkout is ended by its server, then what
# is left is asked to end (SIGTERM), then killed. Prints what could not be
# ended and exits 1 then.
set -u
cd "$(dirname "$0")/.."
mark=$1 run=$2
self=$$

# The processes of the run, apart from the run itself and this script.
run_processes() {
    local -A parent dead
    local pid ppid state line marked
    local -a children queue
    # Marked, wherever they are: read whole first, so that the grep, which
    # carries the mark too, has ended before the process table is read and
    # is never taken for a process of the run.
    marked=$(grep -lzx "QB480_RUN=$mark" /proc/[0-9]*/environ 2>/dev/null)
    while read -r pid state ppid; do
        parent[$pid]=$ppid
        # A zombie has ended; only its parent has not read its status yet.
        [ "$state" = Z ] || [ "$state" = X ] && dead[$pid]=1
    done < <(sed -nE 's/^([0-9]+) \(.*\) ([A-Za-z]) ([0-9]+) .*/\1 \2 \3/p' /proc/[0-9]*/stat 2>/dev/null)
    local -A found
    while read -r line; do
        [ -n "$line" ] || continue
        pid=${line#/proc/}
        found[${pid%/environ}]=1
    done <<<"$marked"
    # Descended from the run.
    queue=("$run")
    while [ ${#queue[@]} -gt 0 ]; do
        children=()
        for pid in "${!parent[@]}"; do
            for ppid in "${queue[@]}"; do
                [ "${parent[$pid]}" = "$ppid" ] && children+=("$pid")
            done
        done
        queue=()
        for pid in "${children[@]}"; do
            [ -n "${found[$pid]:-}" ] || queue+=("$pid")
            found[$pid]=1
        done
    done
    local ancestor
    for pid in "${!found[@]}"; do
        [ "$pid" = "$run" ] || [ -n "${dead[$pid]:-}" ] && continue
        # Not this script and what it runs.
        ancestor=$pid
        while [ -n "$ancestor" ] && [ "$ancestor" != "$self" ] && [ "$ancestor" != 1 ]; do
            ancestor=${parent[$ancestor]:-}
        done
        [ "$ancestor" = "$self" ] && continue
        [ -d "/proc/$pid" ] && echo "$pid"
    done
}

# Waits until none is left, at most $1 tenths of a second.
wait_gone() {
    local tenths=$1
    while [ "$tenths" -gt 0 ] && [ -n "$(run_processes)" ]; do
        sleep 0.1
        tenths=$((tenths - 1))
    done
}

# Every prefix of this checkout: build trees, the walk-throughs, the
# installer tests' cases.
while read -r registry; do
    WINEPREFIX=$(dirname "$registry") wineserver -k >/dev/null 2>&1 &
done < <(find build .run -maxdepth 4 -name system.reg -not -path '*/drive_c/*' 2>/dev/null)
wait

mapfile -t left < <(run_processes)
[ ${#left[@]} -eq 0 ] || kill -TERM "${left[@]}" 2>/dev/null
wait_gone 50
mapfile -t left < <(run_processes)
[ ${#left[@]} -eq 0 ] || kill -KILL "${left[@]}" 2>/dev/null
wait_gone 50
mapfile -t left < <(run_processes)
[ ${#left[@]} -eq 0 ] && exit 0
echo "end-run: still running:" >&2
for pid in "${left[@]}"; do
    echo "  $pid $(tr '\0' ' ' <"/proc/$pid/cmdline" 2>/dev/null)" >&2
done
exit 1

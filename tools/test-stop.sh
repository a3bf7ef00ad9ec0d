#!/usr/bin/env bash
# Stops the real ./test of this checkout and checks that nothing of it is
# left running: tools/test-stop.sh
#   1. SIGTERM to ./test's process group while a build runs;
#   2. SIGTERM to ./test's process group while the x86_64 Wine suite runs;
#   3. SIGKILL to the ctest of a Wine suite alone (no trap runs): its desktop
#      keeper, the prefix's server and Wine's system processes end by
#      themselves.
# After each stop it waits, with a bound, until no process of the run, of
# its process group or of a Wine prefix of this checkout is left, and prints
# what is. With the build trees up to date it takes a few minutes; from a
# fresh clone, as long as ./test takes to reach its first Wine suite. Not
# part of ./test: it runs ./test.
set -u
cd "$(dirname "$0")/.."
root=$PWD
logs=$(mktemp -d)
trap 'rm -rf "$logs"' EXIT
failed=0

# One look at every process (/proc), by a single program:
#   scan leftovers GROUP MARK: "PID command" of each one in process group
#     GROUP, marked MARK (QB480_RUN) or in a Wine prefix of this checkout;
#   scan mark GROUP: the mark of a process of the group;
#   scan group-runs GROUP REGEX, scan prefix-runs PREFIX REGEX: whether one
#     of the group or of that prefix runs a command line that matches.
scan() {
    python3 - "$root" $$ "$@" <<'SCAN'
import os, re, sys
root, me, mode, key = sys.argv[1], sys.argv[2], sys.argv[3], sys.argv[4]
arg = sys.argv[5] if len(sys.argv) > 5 else ""
for pid in filter(str.isdigit, os.listdir("/proc")):
    try:
        stat = open("/proc/%s/stat" % pid).read().rsplit(") ", 1)[1].split()
        environ = open("/proc/%s/environ" % pid, "rb").read().decode(errors="replace").split("\0")
        command = open("/proc/%s/cmdline" % pid, "rb").read().decode(errors="replace").replace("\0", " ").strip()
    except (OSError, IndexError):
        continue
    if pid in (me, str(os.getpid()), str(os.getppid())) or stat[0] in "ZX":
        continue
    group = stat[2]
    if mode == "leftovers":
        if group == key or (arg and "QB480_RUN=" + arg in environ) or any(
                e.startswith("WINEPREFIX=" + root + "/") for e in environ):
            print(pid, command[:120])
    elif mode == "mark" and group == key:
        marks = [e[10:] for e in environ if e.startswith("QB480_RUN=")]
        if marks:
            print(marks[0])
            sys.exit(0)
    elif mode == "group-runs" and group == key and re.search(arg, command):
        sys.exit(0)
    elif mode == "prefix-runs" and "WINEPREFIX=" + key in environ and re.search(arg, command):
        sys.exit(0)
sys.exit(0 if mode == "leftovers" else 1)
SCAN
}
leftovers() { scan leftovers "$1" "$2"; }

# Waits until the command succeeds, at most $1 seconds.
wait_for() {
    local deadline=$((SECONDS + $1))
    shift
    until "$@"; do
        [ $SECONDS -lt "$deadline" ] || return 1
        sleep 0.2
    done
}

mark_of() { scan mark "$1"; }
group_runs() { scan group-runs "$1" "$2"; }
prefix_runs() { scan prefix-runs "$1" "$2"; }

nothing_left() { [ -z "$(leftovers "$@")" ]; }

# Judges one stop: $1 what, $2 group, $3 mark, $4 seconds allowed.
judge() {
    local started=$SECONDS
    if wait_for "$4" nothing_left "$2" "$3"; then
        echo "test-stop: $1: nothing left after $((SECONDS - started)) s"
    else
        echo "test-stop: $1: still running after $4 s:"
        leftovers "$2" "$3" | sed 's/^/  /'
        failed=$((failed + 1))
    fi
}

# Runs ./test in a process group of its own until the command succeeds
# (at most $2 seconds), then sends SIGTERM to the group: $1 what.
stop_test_when() {
    local what=$1 limit=$2 group mark
    shift 2
    setsid ./test >"$logs/test.log" 2>&1 </dev/null &
    group=$!
    if ! wait_for "$limit" "$@" "$group"; then
        echo "test-stop: $what: not reached within $limit s; the end of ./test's output:"
        tail -n 20 "$logs/test.log" | sed 's/^/  /'
        kill -TERM -- -"$group" 2>/dev/null
        wait "$group"
        failed=$((failed + 1))
        return
    fi
    mark=$(mark_of "$group")
    kill -TERM -- -"$group"
    wait "$group"
    judge "$what" "$group" "$mark" 20
}

building() { group_runs "$1" '^cmake (--preset|--build)'; }
in_wine_suite() {
    group_runs "$1" '^ctest --preset x86_64' && prefix_runs "$root/build/x86_64/wineprefix" 'keepdesktop\.exe'
}

stop_test_when "SIGTERM during a build" 900 building
stop_test_when "SIGTERM during the x86_64 suite" 1800 in_wine_suite

# 3: a ctest killed outright; only the keeper notices.
prefix=$root/build/x86_64/wineprefix
setsid ctest --preset x86_64 -L wine >"$logs/ctest.log" 2>&1 </dev/null &
ctest_pid=$!
if wait_for 120 prefix_runs "$prefix" 'keepdesktop\.exe'; then
    kill -KILL "$ctest_pid"
    wait "$ctest_pid" 2>/dev/null
    # The test program that ran is left to end; what follows it is not.
    judge "SIGKILL to a Wine suite's ctest" "$ctest_pid" "" 30
else
    echo "test-stop: SIGKILL to a Wine suite's ctest: its keeper never ran"
    kill -TERM -- -"$ctest_pid" 2>/dev/null
    failed=$((failed + 1))
fi

echo "test-stop: $((3 - failed)) passed, $failed failed"
[ $failed -eq 0 ]

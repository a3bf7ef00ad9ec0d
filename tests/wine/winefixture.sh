#!/usr/bin/env bash
# ctest fixture around the Wine tests: winefixture.sh start|stop PREFIX [KEEPER [RUN]]
# start: one persistent wineserver for the whole run, so that each test costs
# a tenth of a second instead of a cold Wine start (3 s). Everything is
# detached from ctest's pipes, or ctest would wait for the server to exit.
# KEEPER (start): keepdesktop.exe, run detached for the whole run so that
# Wine's desktop process does not end and restart between GUI tests. It
# ends by itself when the Unix process RUN is gone (default: the caller,
# ctest), so a run that is killed before its stop leaves nothing behind.
# stop: ends the server and every Wine process of the prefix, the keeper too.
set -u
action=$1
keeper=${3:-}
run=${4:-$PPID}
here=$(dirname "$(readlink -f "$0")")
export WINEPREFIX=$2 WINEDEBUG=-all
unset DISPLAY WAYLAND_DISPLAY

case $action in
start)
    wineserver -k >/dev/null 2>&1
    wineserver -w >/dev/null 2>&1
    # The keeper is a client for the whole run. Once it has gone, the
    # server waits this long before it ends with Wine's system processes.
    setsid wineserver -p5 </dev/null >/dev/null 2>&1
    setsid "$here/winestart.sh" wineboot </dev/null >/dev/null 2>&1
    if [ -n "$keeper" ]; then
        if [ -f "$keeper" ]; then
            setsid "$here/winestart.sh" "$keeper" "$run" </dev/null >/dev/null 2>&1 &
        else
            echo "winefixture: $keeper is not built; GUI tests may be slower" >&2
        fi
    fi
    ;;
stop)
    wineserver -k >/dev/null 2>&1
    wineserver -w >/dev/null 2>&1
    ;;
*)
    echo "usage: $0 start|stop PREFIX [KEEPER [RUN]]" >&2
    exit 2
    ;;
esac
exit 0

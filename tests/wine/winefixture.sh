#!/usr/bin/env bash
# ctest fixture around the Wine tests: winefixture.sh start|stop PREFIX [KEEPER]
# start: one persistent wineserver for the whole run, so that each test costs
# a tenth of a second instead of a cold Wine start (3 s). Everything is
# detached from ctest's pipes, or ctest would wait for the server to exit.
# KEEPER (start): keepdesktop.exe, run detached for the whole run so that
# Wine's desktop process does not end and restart between GUI tests.
# stop: ends the server and every Wine process of the prefix, the keeper too.
set -u
action=$1
keeper=${3:-}
here=$(dirname "$(readlink -f "$0")")
export WINEPREFIX=$2 WINEDEBUG=-all
unset DISPLAY WAYLAND_DISPLAY

case $action in
start)
    wineserver -k >/dev/null 2>&1
    wineserver -w >/dev/null 2>&1
    # An orphaned server (a killed run) ends 5 minutes after its last client.
    setsid wineserver -p300 </dev/null >/dev/null 2>&1
    setsid "$here/winestart.sh" wineboot </dev/null >/dev/null 2>&1
    if [ -n "$keeper" ]; then
        if [ -f "$keeper" ]; then
            setsid "$here/winestart.sh" "$keeper" </dev/null >/dev/null 2>&1 &
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
    echo "usage: $0 start|stop PREFIX" >&2
    exit 2
    ;;
esac
exit 0

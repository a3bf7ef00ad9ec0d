#!/usr/bin/env bash
# Opens qb480.cpl as an administrator would: the applet in system32 of a Wine
# prefix of this checkout, the board driver (the fake, fakevdx.sys) in
# system32\drivers as vdxqb480.sys and no service registered yet, then
# "control.exe qb480.cpl". On a virtual display (Xvfb), showrobot.exe starts
# the Control Panel and walks through the first opening; the script saves a
# PNG of each dialog it reaches in .run/screenshots/ and prints their paths.
# Nothing is left running.
#
#   tools/show-applet.sh [QB480.CPL]     default: build/i686/applet/qb480.cpl
#
# The fake driver and showrobot.exe are taken from the same build folder as
# the applet or, for a release build (which has no tests), from the test
# build of its architecture. The prefix is .run/applet-<arch>, made on first use.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

on_display=
if [ "${1:-}" = --on-display ]; then
    on_display=1
    shift
fi
cpl=$(realpath "${1:-build/i686/applet/qb480.cpl}")
[ -f "$cpl" ] || { echo "show-applet: $cpl is not built" >&2; exit 1; }

# The PE machine field tells the prefix architecture the applet needs.
pe_offset=$(od -An -tu4 -j60 -N4 "$cpl" | tr -d ' ')
machine=$(od -An -tx2 -j$((pe_offset + 4)) -N2 "$cpl" | tr -d ' ')
case $machine in
    014c) arch=i686 winearch=win32 ;;
    8664) arch=x86_64 winearch=win64 ;;
    *) echo "show-applet: $cpl is not a Windows i686 or x86_64 module" >&2; exit 1 ;;
esac
build=$(dirname "$(dirname "$cpl")")
[ -f "$build/tests/drivers/fakevdx.sys" ] || build=$root/build/$arch
driver=$build/tests/drivers/fakevdx.sys
robot=$build/tests/applet/showrobot.exe
for file in "$driver" "$robot"; do
    [ -f "$file" ] || { echo "show-applet: $file is not built" >&2; exit 1; }
done

# Without Wine's own fonts (Debian: fonts-wine) the dialogs are drawn with a
# wider font, and labels sized for MS Sans Serif are cut.
if [ -z "$on_display" ] && [ ! -f /usr/share/wine/fonts/ms_sans_serif.ttf ]; then
    echo "show-applet: Wine's fonts are not installed (fonts-wine); dialog labels will look cut" >&2
fi

export WINEPREFIX=$root/.run/applet-$arch WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe="
shots=$root/.run/screenshots
mkdir -p "$shots"

if [ -z "$on_display" ] && [ ! -f "$WINEPREFIX/.qb480-display" ]; then
    echo "show-applet: creating the $winearch prefix $WINEPREFIX"
    tests/wine/mkprefix.sh "$WINEPREFIX" "$winearch" "$WINEPREFIX/.qb480-ready"
    # The test prefixes draw nothing; this one is for looking at. Without a
    # window manager on the virtual display, Wine draws the captions itself.
    wine reg delete 'HKCU\Software\Wine\Drivers' /v Graphics /f >/dev/null 2>&1
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /d N /f >/dev/null 2>&1
    wineserver -w
    touch "$WINEPREFIX/.qb480-display"
fi

if [ -z "$on_display" ]; then
    rm -f "$shots"/[0-9]-*.png "$shots"/failure.png
    exec xvfb-run -a -s "-screen 0 1024x768x24 -nolisten tcp" "$0" --on-display "$cpl"
fi

# On the virtual display: a clean machine, the Control Panel, the robot.
show() {
    local system32=$WINEPREFIX/drive_c/windows/system32
    wineserver -k 2>/dev/null || true
    wineserver -w
    # A clean machine: no service and no event-log entry from an earlier run.
    # Wine's start has just started the service an earlier run registered
    # (automatic start), and a running service is not deleted until it stops.
    wine sc stop VDXQB480 >/dev/null 2>&1 || true
    wine sc delete VDXQB480 >/dev/null 2>&1 || true
    local tries=0
    while wine sc query VDXQB480 >/dev/null 2>&1 && [ $tries -lt 20 ]; do
        sleep 0.25
        tries=$((tries + 1))
    done
    wine reg delete 'HKLM\SYSTEM\CurrentControlSet\Services\VDXQB480' /f >/dev/null 2>&1 || true
    wine reg delete 'HKLM\SYSTEM\CurrentControlSet\Services\EventLog\System\vdxqb480' /f >/dev/null 2>&1 || true
    cp "$cpl" "$system32/qb480.cpl"
    cp "$driver" "$system32/drivers/vdxqb480.sys"

    # The robot's stdin and stdout, as named pipes: a coprocess's pipes would
    # be closed by bash as soon as the robot ends, its last lines unread.
    local pipes from_robot to_robot
    pipes=$(mktemp -d)
    mkfifo "$pipes/to-robot" "$pipes/from-robot"
    # The robot starts "control.exe qb480.cpl" itself; see showrobot.cpp.
    wine "$robot" control.exe qb480.cpl <"$pipes/to-robot" >"$pipes/from-robot" 2>/dev/null &
    exec {to_robot}>"$pipes/to-robot" {from_robot}<"$pipes/from-robot"
    local status=1 line name left top right bottom
    while IFS=' ' read -r -u "$from_robot" line name left top right bottom; do
        case $line in
        shot)
            # A margin of a few pixels around the window.
            local x=$((left > 4 ? left - 4 : 0)) y=$((top > 4 ? top - 4 : 0))
            # No time of taking in the file: the release packs it (same commit, same bytes).
            import -window root -crop "$((right - x + 4))x$((bottom - y + 4))+$x+$y" +repage -define png:exclude-chunks=date,time "$shots/$name.png"
            echo "$shots/$name.png"
            echo ok >&"$to_robot"
            ;;
        done) [ "$name" = 0 ] && status=0 || echo "show-applet: the Control Panel ended with $name" >&2 ;;
        error)
            echo "show-applet: the robot stopped: $name $left $top $right $bottom" >&2
            import -window root "$shots/failure.png" && echo "show-applet: the screen then: $shots/failure.png" >&2
            ;;
        esac
    done
    exec {to_robot}>&- {from_robot}<&-
    rm -rf "$pipes"
    wait
    wineserver -k 2>/dev/null || true
    wineserver -w
    return $status
}
show

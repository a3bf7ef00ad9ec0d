#!/usr/bin/env bash
# Runs the firmware loader as an operator would, on the simulated board:
#   tools/show-loader.sh [QB480LOAD_EXE [HELPER_SYS [ROBOT_EXE]]]
# (defaults: the i686 build's qb480load.exe, fakeloader.sys and
# loaderrobot.exe, which is then brought up to date). In the
# project-local Wine prefix .run/loader-i686 the program is put into
# C:\QB480 Loader with the helper driver stand-in beside it as loader.sys and
# a firmware HEX file made from a generated image. Without a display it runs
# under Xvfb. tests/loader's loaderrobot.exe goes through one download; each
# dialog it reaches is saved as .run/screenshots/loader-*.png. Ends by
# printing where the image landed in the simulated board and checking that it
# arrived unchanged; nothing is left running.
set -euo pipefail

# Paths given are taken from where the script was called, the defaults from
# the project's folder.
exe=$(realpath -m "${1:-$(dirname "$0")/../build/i686/loader/qb480load.exe}")
helper=$(realpath -m "${2:-$(dirname "$0")/../build/i686/tests/drivers/fakeloader.sys}")
robot=$(realpath -m "${3:-$(dirname "$0")/../build/i686/tests/loader/loaderrobot.exe}")
cd "$(dirname "$0")/.."
prefix=$PWD/.run/loader-i686
shots=.run/screenshots
firmware=qb480fw
image=.run/$firmware.bin

fail() {
    echo "show-loader: $*" >&2
    exit 1
}

for tool in wine wineserver winepath Xvfb import srec_cat cmp; do
    command -v "$tool" >/dev/null 2>&1 || fail "$tool not found: run tools/install-deps.sh"
done
[ -f "$exe" ] || fail "$exe not found: build it first (cmake --build --preset i686 --target qb480load)"
[ -f "$helper" ] || fail "$helper not found: build it first (cmake --build --preset i686 --target fakeloader)"
if [ $# -lt 3 ]; then
    [ -f build/i686/CMakeCache.txt ] || cmake --preset i686 >/dev/null
    cmake --build --preset i686 --target loaderrobot -j"$(nproc)" >/dev/null
fi
[ -f "$robot" ] || fail "$robot not found"

# The PE machine field tells the prefix architecture the loader needs.
pe_offset=$(od -An -tu4 -j60 -N4 "$exe" | tr -d ' ')
winearch=win32
[ "$(od -An -tx2 -j$((pe_offset + 4)) -N2 "$exe" | tr -d ' ')" = 8664 ] && winearch=win64 && prefix=${prefix%-i686}-x86_64
export WINEPREFIX=$prefix WINEARCH=$winearch WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe="

scratch=$(mktemp -d)
xvfb_pid=
cleanup() {
    # Ends the loader, the robot and Wine's own processes of this prefix.
    wineserver -k >/dev/null 2>&1 || true
    wineserver -w >/dev/null 2>&1 || true
    if [ -n "$xvfb_pid" ]; then
        kill "$xvfb_pid" 2>/dev/null || true
        wait "$xvfb_pid" 2>/dev/null || true
    fi
    rm -rf "$scratch"
}
trap cleanup EXIT

# The tests' prefix recipe, then drawing switched back on: this prefix is
# looked at. Wine draws the window frames itself, as there is no window
# manager on Xvfb to draw captions. The stamp is written last, so an
# interrupted set-up starts over.
ready=$prefix/.qb480-display
if [ ! -f "$ready" ]; then
    echo "Creating the Wine prefix $prefix (once)"
    tests/wine/mkprefix.sh "$prefix" "$winearch" "$prefix/.qb480-ready"
    wine reg delete 'HKCU\Software\Wine\Drivers' /v Graphics /f >/dev/null 2>&1 || true
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /d N /f >/dev/null 2>&1
    wineserver -w
    touch "$ready"
fi

if [ -z "${DISPLAY:-}" ]; then
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$scratch/display" 2>"$scratch/xvfb.log" &
    xvfb_pid=$!
    for _ in $(seq 100); do
        [ -s "$scratch/display" ] && break
        kill -0 "$xvfb_pid" 2>/dev/null || fail "Xvfb did not start: $(head -n1 "$scratch/xvfb.log")"
        sleep 0.1
    done
    [ -s "$scratch/display" ] || fail "Xvfb did not report its display"
    display=$(head -n1 "$scratch/display")
    export DISPLAY=:$display
fi

# The operator's folder: the program, the helper driver beside it, the firmware.
folder=$prefix/drive_c/QB480\ Loader
rm -rf "$folder"
mkdir -p "$folder" "$shots"
cp "$exe" "$folder/qb480load.exe"
cp "$helper" "$folder/loader.sys"
# Past 64K, so the HEX file carries extended address records.
head -c 70000 /dev/urandom >"$image"
srec_cat "$image" -binary -o "$folder/$firmware.hex" -intel -obs=32
board=$(winepath -u 'C:\qb480board.bin')
board=$(realpath -m "${board%$'\r'}")
rm -f "$board" "$prefix/drive_c/windows/system32/drivers/$firmware.bin" "$shots"/loader-*.png

echo "Running qb480load on display $DISPLAY, firmware C:\\QB480 Loader\\$firmware.hex"
coproc ROBOT { wine "$robot" 'C:\QB480 Loader\qb480load.exe' "$firmware.hex" 2>"$scratch/robot.log"; }
# bash closes a coprocess's pipes once it has ended, unread lines and all:
# read and write through copies.
# shellcheck disable=SC2153 # ROBOT_PID is set by coproc
robot_pid=$ROBOT_PID
exec {robot_out}<&"${ROBOT[0]}" {robot_in}>&"${ROBOT[1]}"
finished=
message=
code=
while IFS= read -r line <&"$robot_out"; do
    line=${line%$'\r'}
    case $line in
    "shot "*)
        read -r _ name left top right bottom <<<"$line"
        # No time of taking in the file: the release packs it (same commit, same bytes).
        import -silent -window root -crop "$((right - left))x$((bottom - top))+$left+$top" +repage -define png:exclude-chunks=date,time "$shots/$name.png"
        echo "  screenshot $shots/$name.png"
        echo ok >&"$robot_in"
        ;;
    "message "*) message=${line#message }; echo "  qb480load says: $message" ;;
    "helper "*) echo "  the helper driver read: ${line#helper }" ;;
    "exit "*) code=${line#exit } ;;
    done) finished=1 ;;
    "error "*) echo "show-loader: the robot stopped: ${line#error }" >&2 ;;
    esac
done
wait "$robot_pid" || true
exec {robot_out}<&- {robot_in}>&-

[ -n "$finished" ] || fail "the download was not completed (robot log: $(tail -n 3 "$scratch/robot.log" | tr '\n' ' '))"
[ "$code" = 0 ] || fail "qb480load ended with exit code $code"
[ "$message" = "The firmware was successfully loaded into the card" ] || fail "the download failed"
[ -f "$board" ] || fail "the simulated board $board holds nothing"
cmp -s "$image" "$board" || fail "the simulated board $board differs from the image $image"
echo "The firmware image landed in the simulated board: $board"
echo "It equals the generated image $image ($(stat -c %s "$board") bytes)."

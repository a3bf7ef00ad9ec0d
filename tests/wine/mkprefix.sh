#!/usr/bin/env bash
# Creates a headless Wine prefix for the tests: mkprefix.sh PREFIX win32|win64 STAMP
# The stamp is written last, so a prefix whose creation was interrupted is
# made again from scratch on the next build.
#
# A checkout needs several prefixes of each architecture (each test build
# tree's, the installer tests' templates, the walk-throughs'). The prefix is
# made once per architecture, in build/wine-base, for this script and this
# Wine version, and copied: a copy takes a fraction of wineboot's time. Never
# hard links: wineserver rewrites the registry files in place.
set -euo pipefail
prefix=$1 arch=$2 stamp=$3
here=$(dirname "$(readlink -f "$0")")

# Wine's errors are kept: a step that fails prints them (a missing DLL, say).
export WINEARCH=$arch WINEDEBUG=-all,err+all
# No Gecko or Mono installer prompts, no menu entries on the host.
export WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe="
unset DISPLAY WAYLAND_DISPLAY

# step NAME COMMAND...: runs one step of the making, its output in $steps_log;
# a failure names the step, its exit code and what Wine printed.
step() {
    local name=$1 status=0
    shift
    echo "--- $name" >>"$steps_log"
    "$@" >>"$steps_log" 2>&1 || status=$?
    [ "$status" -eq 0 ] && return 0
    echo "mkprefix: making the $arch prefix failed at '$name' (exit $status$([ "$status" -eq 53 ] && echo ': a DLL was not found'))" >&2
    sed 's/^/  /' "$steps_log" | tail -n 40 >&2
    return "$status"
}

make_prefix() {
    export WINEPREFIX=$1
    wineserver -k 2>/dev/null || true
    # A failure here returns: the caller tests this function, so `set -e`
    # does not hold inside it.
    rm -rf "$WINEPREFIX" || return
    mkdir -p "$(dirname "$WINEPREFIX")" || return
    steps_log=$WINEPREFIX.log
    : >"$steps_log" || return
    # The loader of the prefix's architecture (winestart.sh): Wine's own
    # programs in a win64 prefix are 64-bit ones.
    step "wineboot --init" "$here/winestart.sh" wineboot --init &&
    # No display driver: windows exist and work, nothing is drawn.
    step "graphics driver null" "$here/winestart.sh" reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f &&
    # A crashing program exits at once instead of waiting behind an invisible dialog.
    step "no crash dialog" "$here/winestart.sh" reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f || {
        local status=$?
        wineserver -k 2>/dev/null || true
        return "$status"
    }
    # Wine's own dialog fonts ("MS Sans Serif" and friends, package fonts-wine):
    # without them in the prefix, dialogs are drawn with a wider substitute and
    # their labels are cut.
    if [ -d /usr/share/wine/fonts ]; then
        cp /usr/share/wine/fonts/* "$WINEPREFIX/drive_c/windows/Fonts/" || return
    fi
    wineserver -k 2>/dev/null || true
    wineserver -w || return
    rm -f "$steps_log"
}

bases=$(cd "$(dirname "$0")/../.." && pwd)/build/wine-base
# wineserver prints its version on stderr.
key=$({ cat "$0" "$here/winestart.sh" && wineserver --version 2>&1; } | sha256sum | cut -c1-12)
base=$bases/$arch-$key
mkdir -p "$bases"
# One maker per architecture at a time, until its copy is done: builds in
# parallel need the same base.
exec 9>"$bases/$arch.lock"
flock 9
if [ ! -f "$base/.qb480-base" ]; then
    rm -rf "$bases/$arch"-*
    # Seen once in CI, not reproduced: wineboot or reg ending with 53 while
    # a new prefix was made. The failure is printed above; a base that
    # fails twice fails the build.
    if ! make_prefix "$base"; then
        echo "mkprefix: making the $arch prefix once more, from scratch" >&2
        make_prefix "$base"
    fi
    touch "$base/.qb480-base"
fi

export WINEPREFIX=$prefix
wineserver -k 2>/dev/null || true
rm -rf "$prefix"
mkdir -p "$(dirname "$prefix")"
cp -a "$base" "$prefix"
rm -f "$prefix/.qb480-base"
touch "$stamp"

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

export WINEARCH=$arch WINEDEBUG=-all
# No Gecko or Mono installer prompts, no menu entries on the host.
export WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe="
unset DISPLAY WAYLAND_DISPLAY

make_prefix() {
    export WINEPREFIX=$1
    wineserver -k 2>/dev/null || true
    rm -rf "$WINEPREFIX"
    mkdir -p "$(dirname "$WINEPREFIX")"
    # The loader of the prefix's architecture (winestart.sh): Wine's own
    # programs in a win64 prefix are 64-bit ones.
    "$here/winestart.sh" wineboot --init >/dev/null 2>&1
    # No display driver: windows exist and work, nothing is drawn.
    "$here/winestart.sh" reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >/dev/null 2>&1
    # A crashing program exits at once instead of waiting behind an invisible dialog.
    "$here/winestart.sh" reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
    # Wine's own dialog fonts ("MS Sans Serif" and friends, package fonts-wine):
    # without them in the prefix, dialogs are drawn with a wider substitute and
    # their labels are cut.
    if [ -d /usr/share/wine/fonts ]; then
        cp /usr/share/wine/fonts/* "$WINEPREFIX/drive_c/windows/Fonts/"
    fi
    wineserver -k
    wineserver -w
}

bases=$(cd "$(dirname "$0")/../.." && pwd)/build/wine-base
key=$({ cat "$0" "$here/winestart.sh" && wineserver --version; } | sha256sum | cut -c1-12)
base=$bases/$arch-$key
mkdir -p "$bases"
# One maker per architecture at a time, until its copy is done: builds in
# parallel need the same base.
exec 9>"$bases/$arch.lock"
flock 9
if [ ! -f "$base/.qb480-base" ]; then
    rm -rf "$bases/$arch"-*
    make_prefix "$base"
    touch "$base/.qb480-base"
fi

export WINEPREFIX=$prefix
wineserver -k 2>/dev/null || true
rm -rf "$prefix"
mkdir -p "$(dirname "$prefix")"
cp -a "$base" "$prefix"
rm -f "$prefix/.qb480-base"
touch "$stamp"

#!/usr/bin/env bash
# Creates a headless Wine prefix for the tests: mkprefix.sh PREFIX win32|win64 STAMP
# The stamp is written last, so a prefix whose creation was interrupted is
# made again from scratch on the next build.
set -euo pipefail
prefix=$1 arch=$2 stamp=$3

export WINEPREFIX=$prefix WINEARCH=$arch WINEDEBUG=-all
# No Gecko or Mono installer prompts, no menu entries on the host.
export WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe="
unset DISPLAY WAYLAND_DISPLAY

wineserver -k 2>/dev/null || true
rm -rf "$prefix"
mkdir -p "$(dirname "$prefix")"
wine wineboot --init >/dev/null 2>&1
# No display driver: windows exist and work, nothing is drawn.
wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >/dev/null 2>&1
# A crashing program exits at once instead of waiting behind an invisible dialog.
wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
# Wine's own dialog fonts ("MS Sans Serif" and friends, package fonts-wine):
# without them in the prefix, dialogs are drawn with a wider substitute and
# their labels are cut.
if [ -d /usr/share/wine/fonts ]; then
    cp /usr/share/wine/fonts/* "$prefix/drive_c/windows/Fonts/"
fi
wineserver -k
wineserver -w
touch "$stamp"

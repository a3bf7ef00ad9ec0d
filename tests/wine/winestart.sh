#!/bin/sh
# Starts a Windows program in $WINEPREFIX with the Wine loader of its own
# architecture: winestart.sh PROGRAM [ARGUMENTS...]
# PROGRAM is a Unix path (run by its Windows path, Z: being the Unix root)
# or the name of one of Wine's own programs (wineboot, reg, msiexec), which
# is run from the system folder: a bare name goes through start.exe too.
#
# Debian's `wine` is the 32-bit loader. Given a 64-bit program it cannot
# map, it starts start.exe instead, whose ShellExecuteEx has the 64-bit
# loader start the program in a second process; when that process ends
# before its start has finished, start.exe prints "ShellExecuteEx failed:
# Internal error." and the program never runs. The 64-bit loader starts a
# 64-bit program itself, as the first process, with nothing in between.
# Wine's own programs in a win64 prefix are 64-bit ones.
program=$1
shift

# The 64-bit loader: wine64 where the distribution puts it on the PATH,
# Debian's own place otherwise.
wine64_loader() {
    command -v wine64 2>/dev/null && return
    for loader in /usr/lib/wine/wine64 /usr/lib64/wine/wine64; do
        [ -x "$loader" ] && { echo "$loader"; return; }
    done
}

# The machine field of a PE image (8664 for x86_64), empty when it is none.
pe_machine() {
    [ "$(od -An -c -N2 "$1" 2>/dev/null | tr -d ' ')" = MZ ] || return
    offset=$(od -An -tu4 -j60 -N4 "$1" | tr -d ' ')
    od -An -tx2 -j$((offset + 4)) -N2 "$1" | tr -d ' '
}

win64=
case $program in
/*)
    [ "$(pe_machine "$program")" = 8664 ] && win64=1
    program="Z:$(printf '%s' "$program" | tr / '\\')"
    ;;
*[\\/]*) ;;
*)
    # A prefix being made says its architecture in WINEARCH, a made one in
    # its registry.
    if [ "${WINEARCH:-}" = win64 ] || grep -qs '^#arch=win64' "${WINEPREFIX:-$HOME/.wine}/system.reg"; then
        win64=1
    fi
    case $program in *.exe) ;; *) program=$program.exe ;; esac
    program="C:\\windows\\system32\\$program"
    ;;
esac
loader=wine
if [ -n "$win64" ]; then
    loader=$(wine64_loader)
    [ -n "$loader" ] || { echo "winestart: no 64-bit Wine loader (wine64) found" >&2; exit 1; }
fi
# A fixed address-space layout, as ./test gives every process
# (tools/fixed-layout.sh says why), for a program started by hand too.
read -r personality </proc/self/personality || personality=0
if [ $((0x$personality & 0x40000)) -eq 0 ] && setarch -R true 2>/dev/null; then
    exec setarch -R "$loader" "$program" "$@"
fi
exec "$loader" "$program" "$@"

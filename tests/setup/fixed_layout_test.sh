#!/usr/bin/env bash
# The fixed address-space layout (tools/fixed-layout.sh): a script that
# sources it, and a program that tests/wine/winestart.sh starts (a stand-in
# Wine loader first on PATH), run with ADDR_NO_RANDOMIZE and keep their
# arguments. Started here without it, whatever started this test.
set -uo pipefail
source "$(dirname "$0")/lib.sh"
mkdir -p "$work/tools"
cp "$root/tools/fixed-layout.sh" "$work/tools/"

# The personality and the arguments, one a line.
cat >"$work/bin/wine" <<'STAND_IN'
#!/usr/bin/env bash
cat /proc/self/personality
printf '%s\n' "$@"
STAND_IN
cat >"$work/script" <<'SCRIPT'
#!/usr/bin/env bash
cd "$(dirname "$0")"
source tools/fixed-layout.sh
exec bin/wine "$@"
SCRIPT
chmod +x "$work/bin/wine" "$work/script"
fixed() { [ $((0x$(head -n 1 "$work/out") & 0x40000)) -ne 0 ]; }
arguments() { [ "$(tail -n +2 "$work/out")" = "$1" ]; }

# Any personality this test was given is cleared for its cases.
if ! setarch -R true 2>/dev/null; then
    echo "fixed-layout: 0 passed, 0 failed (this kernel refuses setarch -R: nothing to check)"
    exit 0
fi
unfixed() {
    python3 -c 'import ctypes, os, sys
libc = ctypes.CDLL(None)
libc.personality(libc.personality(0xffffffff) & ~0x40000)
os.execvp(sys.argv[1], sys.argv[1:])' "$@"
}

case_name="a script that sources it"
(cd / && unfixed "$work/script" "a b" c) >"$work/out"
check "runs with a fixed layout" fixed
check "keeps its arguments" arguments $'a b\nc'

case_name="a program that winestart.sh starts"
mkdir -p "$work/prefix"
PATH="$work/bin:$PATH" WINEPREFIX=$work/prefix WINEARCH=win32 unfixed "$root/tests/wine/winestart.sh" tool "a b" >"$work/out"
check "runs with a fixed layout" fixed
check "keeps its arguments" arguments $'C:\\windows\\system32\\tool.exe\na b'

summarize fixed-layout

#!/usr/bin/env bash
# tests/wine/mkprefix.sh against stand-ins for Wine (winestart.sh beside a
# copy of the script, wineserver first on PATH): a step that fails is named
# with what Wine printed, the base prefix is made once more from scratch,
# and a second failure fails.
set -uo pipefail
source "$(dirname "$0")/lib.sh"
mkdir -p "$work/tests/wine"
cp "$root/tests/wine/mkprefix.sh" "$work/tests/wine/"

cat >"$work/bin/wineserver" <<'STAND_IN'
#!/usr/bin/env bash
[ "${1:-}" = --version ] && echo "Wine 8.0" >&2
exit 0
STAND_IN
# FAKE_FAIL: none, reg-once (the first reg ends with 53), always (wineboot
# always ends with 53) or no-fonts-folder (wineboot makes no Fonts folder, so
# the fonts cannot be copied). Each call is noted in FAKE_CALLS.
cat >"$work/tests/wine/winestart.sh" <<'STAND_IN'
#!/usr/bin/env bash
echo "$1" >>"$FAKE_CALLS"
case "$1:$FAKE_FAIL" in
wineboot:always) echo "err:module:import_dll Library advapi32.dll not found"; exit 53 ;;
reg:reg-once)
    if [ ! -e "$FAKE_CALLS.failed" ]; then touch "$FAKE_CALLS.failed"; echo "err:module:import_dll Library user32.dll not found"; exit 53; fi ;;
esac
[ "$1:$FAKE_FAIL" = wineboot:no-fonts-folder ] && { mkdir -p "$WINEPREFIX/drive_c/windows"; exit 0; }
[ "$1" = wineboot ] && mkdir -p "$WINEPREFIX/drive_c/windows/Fonts"
[ "$1" = reg ] && echo "$3" >>"$WINEPREFIX/user.reg"
exit 0
STAND_IN
chmod +x "$work/bin/"* "$work/tests/wine/"*.sh

run_case() {  # run_case NAME FAKE_FAIL PREFIX
    case_name=$1
    : >"$work/calls"
    rm -f "$work/calls.failed"
    PATH="$work/bin:$PATH" FAKE_FAIL=$2 FAKE_CALLS="$work/calls" \
        "$work/tests/wine/mkprefix.sh" "$work/$3" win64 "$work/$3.stamp" >"$work/out" 2>&1
    rc=$?
}
has() { grep -qF -- "$1" "$work/out"; }
calls() { grep -cx "$1" "$work/calls"; }

run_case "a reg step fails once" reg-once p1
check "exits 0" test "$rc" -eq 0
check "names the step, its code and its meaning" has "failed at 'graphics driver null' (exit 53: a DLL was not found)"
check "prints what Wine printed" has "Library user32.dll not found"
check "says it makes the prefix once more" has "making the win64 prefix once more, from scratch"
check "wineboot ran once for each making" test "$(calls wineboot)" -eq 2
check "the copy has both settings" test "$(grep -c . "$work/p1/user.reg" 2>/dev/null)" -eq 2
check "stamps the copy" test -f "$work/p1.stamp"

run_case "the base exists: copied, Wine not run" always p2
check "exits 0" test "$rc" -eq 0
check "Wine never started" test ! -s "$work/calls"

rm -rf "$work/build"
run_case "wineboot fails twice" always p3
check "exits non-zero" test "$rc" -ne 0
check "both tries named" test "$(grep -c "failed at 'wineboot --init' (exit 53" "$work/out")" -eq 2
check "no stamp" test ! -e "$work/p3.stamp"

if [ -d /usr/share/wine/fonts ]; then
    rm -rf "$work/build"
    run_case "the fonts cannot be copied" no-fonts-folder p4
    check "exits non-zero" test "$rc" -ne 0
    check "no stamp" test ! -e "$work/p4.stamp"
fi

summarize mkprefix

#!/usr/bin/env bash
# tools/install-deps.sh against stand-ins for apt-get, dpkg, dpkg-query and
# sudo first on PATH: no network, no root, nothing really installed. The
# stand-in apt-get plays a mirror whose security index is broken.
set -uo pipefail
source "$(dirname "$0")/lib.sh"

# The packages "installed": one name a line, or the word all.
cat >"$work/bin/dpkg-query" <<'STAND_IN'
#!/usr/bin/env bash
pkg=${!#}
if grep -qx -e all -e "$pkg" "$FAKE_DB"; then printf 'install ok installed'; else exit 1; fi
STAND_IN
cat >"$work/bin/dpkg" <<'STAND_IN'
#!/usr/bin/env bash
[ "$1" = --print-foreign-architectures ] && echo i386
exit 0
STAND_IN
cat >"$work/bin/sudo" <<'STAND_IN'
#!/usr/bin/env bash
exec "$@"
STAND_IN
# FAKE_UPDATE: ok or broken; FAKE_INSTALL: ok, release-only (succeeds only
# with the release's suite preferred), fail, or lie (exit 0, installs nothing).
cat >"$work/bin/apt-get" <<'STAND_IN'
#!/usr/bin/env bash
echo "apt-get $*" >>"$FAKE_CALLS"
case "$1" in
update)
    [ "$FAKE_UPDATE" = ok ] && exit 0
    echo "Err:6 http://mirror.invalid/debian-security bookworm-security/main i386 Packages"
    echo "  File has unexpected size (374820 != 376004). Mirror sync in progress?"
    echo "E: Some index files failed to download. They have been ignored, or old ones used instead."
    exit 100 ;;
install)
    preferred=no
    [[ " $* " == *" APT::Default-Release=bookworm "* ]] && preferred=yes
    case "$FAKE_INSTALL" in
    lie) exit 0 ;;
    fail) ;;
    release-only) [ $preferred = yes ] || { echo "E: Unable to correct problems, you have held broken packages."; exit 100; } ;;
    esac
    [ "$FAKE_INSTALL" = fail ] && { echo "E: Unable to correct problems, you have held broken packages."; exit 100; }
    for a in "$@"; do [[ $a == -* || $a == install || $a == APT::* ]] || echo "$a" >>"$FAKE_DB"; done
    exit 0 ;;
esac
STAND_IN
chmod +x "$work/bin/"*
echo 'VERSION_CODENAME=bookworm' >"$work/os-release"

run_case() {  # run_case NAME UPDATE INSTALL DB-CONTENT
    case_name=$1
    : >"$work/calls"
    printf '%s' "$4" >"$work/db"
    out=$(PATH="$work/bin:$PATH" FAKE_UPDATE=$2 FAKE_INSTALL=$3 FAKE_DB="$work/db" FAKE_CALLS="$work/calls" \
          QB480_APT_UPDATE_PAUSE=0 QB480_OS_RELEASE="$work/os-release" QB480_NO_LOCALE=1 "$root/tools/install-deps.sh" 2>&1)
    rc=$?
}
has() { grep -qF -- "$1" <<<"$out"; }
calls() { grep -c -- "$1" "$work/calls"; }

run_case "broken index, first install refused" broken release-only "cmake"$'\n'
check "exits 0" test "$rc" -eq 0
check "update tried three times" test "$(calls 'apt-get update')" -eq 3
check "names the failed index" has "bookworm-security/main i386 Packages"
check "says it prefers the release" has "with the release's suite bookworm preferred"
check "every package installed" grep -qx 'wine32:i386' "$work/db"

run_case "every install fails" broken fail ""
check "exits non-zero" test "$rc" -ne 0
check "install tried twice" test "$(calls 'apt-get install')" -eq 2
check "names a missing package" has "still missing: cmake g++"
check "gives apt's last error" has "apt's last error: Unable to correct problems, you have held broken packages."

run_case "install claims success, installs nothing" ok lie ""
check "exits non-zero" test "$rc" -ne 0
check "names a missing package" has "still missing: cmake"

run_case "everything present" broken fail "all"
check "exits 0" test "$rc" -eq 0
check "apt never called" test ! -s "$work/calls"

summarize install-deps

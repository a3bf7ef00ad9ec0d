#!/usr/bin/env bash
# Installs what building and testing need on Debian 12. Safe to run again:
# it only calls apt-get when something is missing. A package index that a
# mirror serves broken must not stop a fresh machine: the update is tried a
# few times and then given up on that index, and an install that fails with
# the lists at hand is tried once more with the release's own suite
# preferred. Success is only ever judged by dpkg-query.
set -euo pipefail

need=(cmake g++ make googletest libgtest-dev clang libclang-rt-14-dev
      binutils srecord mingw-w64 g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix
      wine wine64 wine32:i386 fonts-wine xvfb xauth x11-apps imagemagick zip unzip python3)
# The coverage report (./run coverage).
need+=(gcovr)
# The installer packages and their signatures (./run release).
need+=(wixl msitools osslsigncode openssl)
# A locale whose ANSI code page Wine takes as UTF-8 (the installer cases).
need+=(locales)

update_tries=${QB480_APT_UPDATE_TRIES:-3}
update_pause=${QB480_APT_UPDATE_PAUSE:-5}      # seconds between tries
update_bound=${QB480_APT_UPDATE_BOUND:-600}    # seconds for all tries together
os_release=${QB480_OS_RELEASE:-/etc/os-release}

say() { echo "install-deps: $*"; }

missing_of() {
    local p
    for p in "$@"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || echo "$p"
    done
}

sudo_cmd=()
[ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)

# One installer case runs where the ANSI code page is UTF-8: Wine takes it
# from a locale without an ANSI code page (Hindi), and reads a program's
# command line in the locale's own charset, so the locale must exist.
utf8_locale=hi_IN.UTF-8
ensure_locale() {
    [ -n "${QB480_NO_LOCALE:-}" ] && return 0
    locale -a 2>/dev/null | grep -qix 'hi_IN.utf8' && return 0
    "${sudo_cmd[@]}" localedef -i hi_IN -f UTF-8 "$utf8_locale" >/dev/null 2>&1 ||
        say "the locale $utf8_locale cannot be made: the installer's case under UTF-8 will fail"
}

mapfile -t missing < <(missing_of "${need[@]}")
if [ ${#missing[@]} -eq 0 ]; then
    ensure_locale
    exit 0
fi
apt() { DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get "$@"; }

if ! dpkg --print-foreign-architectures | grep -qx i386; then
    "${sudo_cmd[@]}" dpkg --add-architecture i386
fi

# apt-get update, bounded. Answers 0 when every index was read; otherwise
# names the indexes that failed and answers 1, and the lists apt already
# has serve the install.
update_indexes() {
    local try log deadline left
    log=$(mktemp)
    deadline=$((SECONDS + update_bound))
    for ((try = 1; try <= update_tries; try++)); do
        left=$((deadline - SECONDS))
        [ "$left" -gt 0 ] || break
        if timeout "$left" "${sudo_cmd[@]}" apt-get update -q >"$log" 2>&1 &&
           ! grep -q '^E: ' "$log"; then
            rm -f "$log"
            return 0
        fi
        say "apt-get update failed (try $try of $update_tries)"
        [ "$try" -lt "$update_tries" ] && [ $((deadline - SECONDS)) -gt "$update_pause" ] && sleep "$update_pause"
    done
    say "going on with the package lists at hand; these indexes could not be read:"
    grep -E '^Err:' "$log" | sed 's/^Err:[0-9]* /  /' || true
    grep -E '^E: ' "$log" | tail -n 1 | sed 's/^/  apt: /' || true
    rm -f "$log"
    return 1
}

install_log=$(mktemp)
trap 'rm -f "$install_log"' EXIT
install_packages() {
    apt install -y -q --no-install-recommends "$@" "${missing[@]}" 2>&1 | tee "$install_log"
    [ "${PIPESTATUS[0]}" -eq 0 ]
}

echo "Installing: ${missing[*]}"
update_indexes || true
if ! install_packages; then
    codename=$(sed -n 's/^VERSION_CODENAME=//p' "$os_release" 2>/dev/null | tr -d '"')
    if [ -n "$codename" ]; then
        say "the install failed; trying once more with the release's suite $codename preferred"
        install_packages -o "APT::Default-Release=$codename" || true
    fi
fi

mapfile -t still < <(missing_of "${missing[@]}")
if [ ${#still[@]} -gt 0 ]; then
    say "these packages are still missing: ${still[*]}"
    last=$(grep -E '^E: ' "$install_log" | tail -n 1 || true)
    [ -n "$last" ] && say "apt's last error: ${last#E: }"
    exit 1
fi
say "installed: ${missing[*]}"
ensure_locale

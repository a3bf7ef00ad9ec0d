#!/usr/bin/env bash
# Installs what building and testing need on Debian 12. Safe to run again:
# it only calls apt-get when something is missing.
set -euo pipefail

need=(cmake g++ make googletest libgtest-dev clang libclang-rt-14-dev
      binutils srecord mingw-w64 g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix
      wine wine64 wine32:i386 fonts-wine xvfb xauth x11-apps imagemagick zip unzip python3)
# The coverage report (./run coverage).
need+=(gcovr)
# The installer packages and their signatures (./run release).
need+=(wixl msitools osslsigncode openssl)

missing=()
for p in "${need[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo_cmd=()
[ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
if ! dpkg --print-foreign-architectures | grep -qx i386; then
    "${sudo_cmd[@]}" dpkg --add-architecture i386
fi
echo "Installing: ${missing[*]}"
"${sudo_cmd[@]}" apt-get update -q
DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"

#!/usr/bin/env bash
# Packs the release binaries (build/release-i686, build/release-x86_64) with
# the administrator's guide and the screenshots it shows (.run/screenshots,
# taken by tools/release.sh) into DIST (default dist/):
#   qb480-VERSION-i686.zip, qb480-VERSION-x86_64.zip
#   qb480-VERSION-x86.msi,  qb480-VERSION-x64.msi
# The zip and the MSI of an architecture hold the same files: the applet,
# the loader, the configurator, the event source's messages (qb480msg.dll),
# the guide and its screenshots.
#
# Signing: when QB480_SIGN_PKCS12 names a PKCS#12 file holding a
# code-signing certificate and its key (password in QB480_SIGN_PASSWORD,
# empty when unset), the programs are signed before they are packed, and
# both MSIs after. A certificate that cannot be opened stops the release.
set -euo pipefail
root=$(realpath "$(dirname "$0")/..")
dist=$(realpath -m "${1:-$root/dist}")
version=$(sed -n 's/^project(qb480 VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")
shots=$root/.run/screenshots

fail() {
    echo "release: $*" >&2
    exit 1
}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Same commit, same bytes: the release builds were configured with the
# commit's time (cmake/Reproducible.cmake), and the zips and packages take
# it too, whenever and wherever they are packed.
epoch=
for arch in i686 x86_64; do
    stamp=$root/build/release-$arch/source-date-epoch
    [ -f "$stamp" ] || fail "build/release-$arch has no source-date-epoch: run tools/release.sh"
    [ -z "$epoch" ] || [ "$(cat "$stamp")" = "$epoch" ] || fail "build/release-i686 and build/release-x86_64 were built with different time stamps: run tools/release.sh"
    epoch=$(cat "$stamp")
done
export SOURCE_DATE_EPOCH=$epoch

signing=
if [ -n "${QB480_SIGN_PKCS12:-}" ]; then
    [ -f "$QB480_SIGN_PKCS12" ] || fail "QB480_SIGN_PKCS12: $QB480_SIGN_PKCS12 is not a file"
    # The password goes to osslsigncode in a file only this user reads, not
    # on a command line that every process can see.
    (umask 077 && printf '%s' "${QB480_SIGN_PASSWORD:-}" >"$work/password")
    QB480_SIGN_PASSWORD=${QB480_SIGN_PASSWORD:-} openssl pkcs12 -in "$QB480_SIGN_PKCS12" -passin env:QB480_SIGN_PASSWORD \
        -nokeys -clcerts -out "$work/signer.pem" 2>"$work/openssl.log" ||
        fail "QB480_SIGN_PKCS12: cannot open $QB480_SIGN_PKCS12 with QB480_SIGN_PASSWORD: $(head -n1 "$work/openssl.log")"
    signing=1
    echo "release: signing with $(openssl x509 -in "$work/signer.pem" -noout -subject)"
else
    echo "release: unsigned (set QB480_SIGN_PKCS12 and QB480_SIGN_PASSWORD to sign the programs and packages)"
fi

sign() {
    local file=$1
    # Signed at the commit's time: the same certificate signs the same bytes.
    osslsigncode sign -pkcs12 "$QB480_SIGN_PKCS12" -readpass "$work/password" -h sha256 -time "$epoch" \
        -n "Tessaline QB480" -in "$file" -out "$file.signed" >"$work/sign.log" 2>&1 ||
        fail "signing $(basename "$file") failed: $(tail -n1 "$work/sign.log")"
    mv "$file.signed" "$file"
}

# Packed aside and moved into DIST at the end: a failed release leaves no
# package behind that looks finished.
out=$work/out
mkdir -p "$out"
for arch in i686 x86_64; do
    name=qb480-$version-$arch
    msi_arch=$([ $arch = i686 ] && echo x86 || echo x64)
    stage=$work/$name
    mkdir -p "$stage/screenshots"
    for program in applet/qb480.cpl loader/qb480load.exe configurator/qb480cfg.exe messages/qb480msg.dll \
                   installer/qb480cfgmsi.dll; do
        [ -f "$root/build/release-$arch/$program" ] || fail "build/release-$arch/$program is not built: run tools/release.sh"
        cp "$root/build/release-$arch/$program" "$stage/"
    done
    sed -e "s/@VERSION@/$version/g" -e "s/@ARCH@/$arch/g" "$root/docs/guide/guide.html" >"$stage/guide.html"
    for image in $(grep -o 'src="screenshots/[^"]*"' "$root/docs/guide/guide.html" | sed 's/src="screenshots\///; s/"$//'); do
        cp "$shots/$image" "$stage/screenshots/" 2>/dev/null || fail "screenshot $image was not taken"
    done
    if [ -n "$signing" ]; then
        sign "$stage/qb480.cpl"
        sign "$stage/qb480load.exe"
        sign "$stage/qb480cfg.exe"
    fi
    # Fixed metadata for every entry: the commit's time, read as UTC (a
    # zip keeps local times), plain permissions, no extra fields (-X: no
    # Unix times or owners), in the order of the names, not of the disk.
    find "$stage" -type d -exec chmod 755 {} + -o -type f -exec chmod 644 {} +
    find "$stage" -exec touch -h -d "@$epoch" {} +
    # The installer's action goes into the MSI only.
    (cd "$work" && find "$name" ! -name qb480cfgmsi.dll | LC_ALL=C sort | TZ=UTC zip -qX "$out/$name.zip" -@)
    msi=$out/qb480-$version-$msi_arch.msi
    "$root/tools/make-msi.sh" "$msi_arch" "$version" "$stage" "$msi"
    [ -z "$signing" ] || sign "$msi"
done
mkdir -p "$dist"
for package in "$out"/*; do
    mv -f "$package" "$dist/"
    echo "$dist/$(basename "$package")"
done

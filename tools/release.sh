#!/usr/bin/env bash
# Builds the release binaries for both architectures and packs, per
# architecture, the two deliverables with the administrator's guide and the
# screenshots it shows into dist/qb480-VERSION-ARCH.zip. The screenshots are
# taken anew from the i686 release binaries under Xvfb.
set -euo pipefail
cd "$(dirname "$0")/.."

tools/install-deps.sh
version=$(sed -n 's/^project(qb480 VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
for arch in i686 x86_64; do
    cmake --preset "release-$arch" >/dev/null
    cmake --build --preset "release-$arch" -j"$(nproc)"
done

# The simulated board's drivers come from the test build.
cmake --preset i686 >/dev/null
cmake --build --preset i686 --target fakevdx fakeloader showrobot loaderrobot -j"$(nproc)"
shots=.run/screenshots
rm -rf "$shots"
tools/show-applet.sh build/release-i686/applet/qb480.cpl
tools/show-loader.sh build/release-i686/loader/qb480load.exe

mkdir -p dist
for arch in i686 x86_64; do
    name=qb480-$version-$arch
    stage=dist/$name
    rm -rf "$stage" "dist/$name.zip"
    mkdir -p "$stage/screenshots"
    cp "build/release-$arch/applet/qb480.cpl" "build/release-$arch/loader/qb480load.exe" "$stage/"
    sed -e "s/@VERSION@/$version/g" -e "s/@ARCH@/$arch/g" docs/guide/guide.html > "$stage/guide.html"
    for image in $(grep -o 'src="screenshots/[^"]*"' docs/guide/guide.html | sed 's/src="screenshots\///; s/"$//'); do
        cp "$shots/$image" "$stage/screenshots/" || { echo "release: screenshot $image was not taken" >&2; exit 1; }
    done
    (cd dist && zip -qr "$name.zip" "$name")
    rm -rf "$stage"
    echo "dist/$name.zip"
done

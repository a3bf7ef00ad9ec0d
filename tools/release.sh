#!/usr/bin/env bash
# Builds the release binaries for both architectures and packs, per
# architecture, the two deliverables with the administrator's guide and the
# screenshots it shows into dist/qb480-VERSION-ARCH.zip and the installer
# package dist/qb480-VERSION-x86.msi or -x64.msi (tools/pack-release.sh,
# which also signs them when QB480_SIGN_PKCS12 is set). The screenshots are
# taken anew from the i686 release binaries under Xvfb.
set -euo pipefail
cd "$(dirname "$0")/.."

tools/install-deps.sh
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

tools/pack-release.sh dist

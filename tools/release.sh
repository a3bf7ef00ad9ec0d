#!/usr/bin/env bash
# Builds the release binaries for both architectures and packs, per
# architecture, the applet, the loader and the configurator with the
# administrator's guide and the screenshots it shows into
# dist/qb480-VERSION-ARCH.zip and the installer
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

shots=.run/screenshots
rm -rf "$shots"
# The screenshots come from the i686 programs in a win32 prefix.
source tools/wine-machine.sh
if [ -n "${QB480_NO_WINE32:-}" ]; then
    echo "release: $QB480_NO_WINE32: the screenshots of docs/screenshots are packed, not new ones"
    mkdir -p "$shots"
    cp docs/screenshots/*.png "$shots/"
    tools/pack-release.sh dist
    exit
fi
# The simulated board's drivers come from the test build. A test build
# already configured is not configured again: ./test may be running its
# suites at the same time.
[ -f build/i686/CMakeCache.txt ] || cmake --preset i686 >/dev/null
cmake --build --preset i686 --target fakevdx fakeloader showrobot loaderrobot -j"$(nproc)"
# The two walk-throughs have prefixes and displays of their own: the loader's
# runs beside the applet's, its output printed after it.
loader_log=$(mktemp)
tools/show-loader.sh build/release-i686/loader/qb480load.exe >"$loader_log" 2>&1 &
loader=$!
applet_status=0
tools/show-applet.sh build/release-i686/applet/qb480.cpl || applet_status=$?
loader_status=0
wait "$loader" || loader_status=$?
cat "$loader_log"
rm -f "$loader_log"
[ "$applet_status" -eq 0 ] && [ "$loader_status" -eq 0 ] || exit 1

tools/pack-release.sh dist

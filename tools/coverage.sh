#!/usr/bin/env bash
# ./run coverage: line and branch coverage of the production code (applet/,
# loader/, common/, framework/, configurator/ and installer/, the
# installer's action DLL). Builds the presets coverage-i686 (the i686 test
# configuration with gcov counters in the production code; on a machine
# that cannot run 32-bit programs, coverage-x86_64 instead, with the x64 package) and
# coverage-native (the native unit tests, likewise), clears the counters of
# earlier runs, runs every suite once (no retries), and summarises with gcovr
# and tools/coverage-report.py, which reads tools/coverage-unreachable.txt.
# A measurement, not a test: ./test does not run it. Exits 1 when a suite
# failed (the figures are then printed all the same, of that run).
#
#   tools/coverage.sh [--branches]    --branches also lists untaken branches
set -uo pipefail
cd "$(dirname "$0")/.."
for arg in "$@"; do
    [ "$arg" = --branches ] || { echo "usage: $0 [--branches]" >&2; exit 2; }
done
start=$SECONDS
reports=build/coverage-report
mkdir -p "$reports"

# The Windows half: the product's own i686 target where this machine runs
# 32-bit programs, else the same code built for x86_64.
arch=i686 msi_arch=x86 prefix=win32 gcov=i686-w64-mingw32-gcov
if [ -n "${QB480_NO_WINE32:-}" ]; then
    arch=x86_64 msi_arch=x64 prefix=win64 gcov=x86_64-w64-mingw32-gcov
    echo "coverage: the Windows half measured on x86_64: $QB480_NO_WINE32"
fi
windows=coverage-$arch
presets=("$windows" coverage-native)
# ccache's base folder (docs: dev speed) makes the compiler see relative
# source paths, which end up in the notes files where gcovr cannot resolve
# them: the coverage trees are compiled without it.
unset CCACHE_BASEDIR
for preset in "${presets[@]}"; do
    echo "=== $preset: configure and build"
    cmake --preset "$preset" >/dev/null &&
        cmake --build --preset "$preset" -j2 >"$reports/$preset-build.log" 2>&1 ||
        { tail -n 30 "$reports/$preset-build.log" >&2; echo "coverage: $preset does not build" >&2; exit 1; }
done

# Counters add up over runs: start from none. The Wine prefix is not searched
# (its drive Z: leads back to /).
for preset in "${presets[@]}"; do
    find "build/$preset" \( -path "build/$preset/wineprefix" -o -path "build/$preset/wineprefix64" \) -prune -o -name '*.gcda' -exec rm -f {} +
done

status=0
failures=()
for preset in "${presets[@]}"; do
    echo "=== $preset: tests"
    log=$reports/$preset-ctest.log
    ctest --preset "$preset" -j2 >"$log" 2>&1 || status=1
    summary=$(grep -E 'tests passed|tests failed' "$log" | tail -n 1)
    echo "    ${summary:-no summary (see $log)}"
    grep -E '^[[:space:]]+[0-9]+ - ' "$log" | sed 's/^[[:space:]]*/    failed: /' || true
    [ -n "$summary" ] || status=1
    [[ $summary == 100%* ]] || failures+=("$preset")
done
# The fixture ends the prefix's server; make sure of it after an interruption too.
tests/wine/winefixture.sh stop "build/$windows/wineprefix"
tests/wine/winefixture.sh stop "build/$windows/wineprefix64"

# The installer's action DLL runs only under msiexec: the package, made of
# this build's programs, goes through the installation cases of
# tests/install/run_install.py in a prefix of its own architecture (its
# counters go into this build tree like every other program's, see
# docs/testing-under-wine.md).
echo "=== installer packages under msiexec ($msi_arch in $prefix)"
version=$(sed -n 's/^project(qb480 VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
packages=$reports/dist
name=qb480-$version-$arch
rm -rf "$packages" && mkdir -p "$packages/$name/screenshots"
cp "build/$windows/applet/qb480.cpl" "build/$windows/loader/qb480load.exe" \
   "build/$windows/configurator/qb480cfg.exe" "build/$windows/installer/qb480cfgmsi.dll" "$packages/$name/"
sed -e "s/@VERSION@/$version/g" -e "s/@ARCH@/$arch/g" docs/guide/guide.html >"$packages/$name/guide.html"
cp docs/screenshots/*.png "$packages/$name/screenshots/"
log=$reports/install.log
if (cd "$packages" && zip -qr "$name.zip" "$name" -x "$name/qb480cfgmsi.dll") &&
   tools/make-msi.sh "$msi_arch" "$version" "$packages/$name" "$packages/qb480-$version-$msi_arch.msi" &&
   QB480_INSTALL_DIST=$packages QB480_INSTALL_BUILD_I686=$PWD/build/coverage-i686 QB480_INSTALL_BUILD_X86_64=$PWD/build/coverage-x86_64 \
   QB480_INSTALL_WORK=$PWD/$reports/install python3 tests/install/run_install.py "$version" "$msi_arch-$prefix" >"$log" 2>&1; then
    echo "    $(tail -n 1 "$log")"
else
    status=1
    failures+=("installer packages")
    echo "    $(tail -n 1 "$log") (see $log)"
fi

# The folders that hold objects of production code, and the test programs
# that compile a production source of their own (tests/foundation).
gcovr_json() {  # preset gcov-executable output
    local build=build/$1
    gcovr --root . --gcov-executable "$2" --object-directory "$build" \
          --filter 'applet/' --filter 'loader/' --filter 'common/' --filter 'framework/' --filter 'configurator/' --filter 'installer/' \
          --exclude-unreachable-branches --json "$3" \
          "$build/framework" "$build/common" "$build/applet" "$build/loader" "$build/configurator" "$build/installer" \
          "$build/tests" "$build/tools" \
          2>"$3.log" || { cat "$3.log" >&2; return 1; }
    # gcov's complaints (a stale or foreign .gcda) would change the figures.
    [ ! -s "$3.log" ] || cat "$3.log" >&2
}
echo "=== gcovr"
gcovr_json "$windows" "$gcov" "$reports/$arch.json" || exit 1
gcovr_json coverage-native gcov "$reports/native.json" || exit 1

echo
# The action DLL's sources, whatever their number, from its targets' objects.
action=$(find "build/$windows/installer/CMakeFiles/qb480cfgmsi.dir" \
              "build/$windows/installer/CMakeFiles/qb480_cfgmsi_core.dir" -name '*.gcno' -printf 'installer/%f\n' |
         sed 's/\.obj\.gcno$//; s/\.gcno$//' | LC_ALL=C sort -u | paste -sd, -)
python3 tools/coverage-report.py "$@" --windows "$arch" --part "installer action=$action" tools/coverage-unreachable.txt "$reports/$arch.json" "$reports/native.json" ||
    exit 1
echo
echo "coverage: measured in $((SECONDS - start)) s; logs and gcovr's JSON in $reports/"
if [ "$status" -ne 0 ]; then
    echo "coverage: tests failed in ${failures[*]:-a suite}: these figures are of a failing run" >&2
fi
exit $status

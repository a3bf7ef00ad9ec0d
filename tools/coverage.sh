#!/usr/bin/env bash
# ./run coverage: line and branch coverage of the production code (applet/,
# loader/, common/, framework/, configurator/ with the installer's action
# DLL). Builds the presets coverage-i686 (the i686
# test configuration with gcov counters in the production code) and
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

presets=(coverage-i686 coverage-native)
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
tests/wine/winefixture.sh stop build/coverage-i686/wineprefix
tests/wine/winefixture.sh stop build/coverage-i686/wineprefix64

# The installer's action DLL runs only under msiexec: the x86 package, made
# of this build's programs, goes through the installation cases of
# tests/install/run_install.py in a win32 prefix (its counters go into this
# build tree like every other program's, see docs/testing-under-wine.md).
echo "=== installer packages under msiexec (x86 in win32)"
version=$(sed -n 's/^project(qb480 VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
packages=$reports/dist
name=qb480-$version-i686
rm -rf "$packages" && mkdir -p "$packages/$name/screenshots"
cp build/coverage-i686/applet/qb480.cpl build/coverage-i686/loader/qb480load.exe \
   build/coverage-i686/configurator/qb480cfg.exe build/coverage-i686/configurator/qb480cfgmsi.dll "$packages/$name/"
sed -e "s/@VERSION@/$version/g" -e "s/@ARCH@/i686/g" docs/guide/guide.html >"$packages/$name/guide.html"
cp docs/screenshots/*.png "$packages/$name/screenshots/"
log=$reports/install.log
if (cd "$packages" && zip -qr "$name.zip" "$name" -x "$name/qb480cfgmsi.dll") &&
   tools/make-msi.sh x86 "$version" "$packages/$name" "$packages/qb480-$version-x86.msi" &&
   QB480_INSTALL_DIST=$packages QB480_INSTALL_BUILD_I686=$PWD/build/coverage-i686 \
   QB480_INSTALL_WORK=$PWD/$reports/install python3 tests/install/run_install.py "$version" x86-win32 >"$log" 2>&1; then
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
          --filter 'applet/' --filter 'loader/' --filter 'common/' --filter 'framework/' --filter 'configurator/' \
          --exclude-unreachable-branches --json "$3" \
          "$build/framework" "$build/common" "$build/applet" "$build/loader" "$build/configurator" \
          "$build/tests" "$build/tools" \
          2>"$3.log" || { cat "$3.log" >&2; return 1; }
    # gcov's complaints (a stale or foreign .gcda) would change the figures.
    [ ! -s "$3.log" ] || cat "$3.log" >&2
}
echo "=== gcovr"
gcovr_json coverage-i686 i686-w64-mingw32-gcov "$reports/i686.json" || exit 1
gcovr_json coverage-native gcov "$reports/native.json" || exit 1

echo
# The action DLL's sources, whatever their number, from its targets' objects.
action=$(find build/coverage-i686/configurator/CMakeFiles/qb480cfgmsi.dir \
              build/coverage-i686/configurator/CMakeFiles/qb480_cfgmsi_core.dir -name '*.gcno' -printf 'configurator/%f\n' |
         sed 's/\.obj\.gcno$//; s/\.gcno$//' | LC_ALL=C sort -u | paste -sd, -)
python3 tools/coverage-report.py "$@" --part "installer action=$action" tools/coverage-unreachable.txt "$reports/i686.json" "$reports/native.json" ||
    exit 1
echo
echo "coverage: measured in $((SECONDS - start)) s; logs and gcovr's JSON in $reports/"
if [ "$status" -ne 0 ]; then
    echo "coverage: tests failed in ${failures[*]:-a suite}: these figures are of a failing run" >&2
fi
exit $status

#!/usr/bin/env bash
# Checks that a release rebuilds bit for bit: clones COMMIT (default HEAD)
# of this repository twice, into two fresh folders of different names and
# depths, runs `./run release` in one and then in the other (so the builds
# start more than a minute apart), without ccache and unsigned, and compares every
# deliverable byte for byte: the programs and the installer action of both
# architectures, the screenshots, the zips and the MSIs.
#
#   tools/check-reproducible.sh [--without-screenshots] [COMMIT]
#
# --without-screenshots: for a machine that cannot run 32-bit Wine (the
# screenshots come from the i686 programs in a win32 prefix): builds and
# packs as `./run release` does, with the screenshots of docs/screenshots in
# place of new ones, and compares the rest.
#
# Prints each file's SHA-256 and "same" or "DIFFERS", and exits 1 when any
# file differs (the clones are then kept for a closer look, e.g. with
# `cmp -l`); with no difference it removes them.
set -euo pipefail
root=$(realpath "$(dirname "$0")/..")
release=(./run release)
if [ "${1:-}" = --without-screenshots ]; then
    shift
    release=(bash -c 'set -e; tools/install-deps.sh
        for arch in i686 x86_64; do cmake --preset release-$arch >/dev/null; cmake --build --preset release-$arch -j"$(nproc)"; done
        rm -rf .run/screenshots; mkdir -p .run/screenshots; cp docs/screenshots/*.png .run/screenshots/
        tools/pack-release.sh dist')
fi
commit=$(git -C "$root" rev-parse --verify "${1:-HEAD}^{commit}")
work=$(mktemp -d "${TMPDIR:-/tmp}/qb480-rebuild.XXXXXX")
clones=("$work/first" "$work/second/a/longer/path")

started=
for clone in "${clones[@]}"; do
    # The second build starts over a minute after the first, so that any
    # time stamp taken from the clock rather than the commit would show.
    while [ -n "$started" ] && [ $((SECONDS - started)) -le 60 ]; do sleep 1; done
    started=$SECONDS
    mkdir -p "$(dirname "$clone")"
    git clone -q --no-checkout "$root" "$clone"
    git -C "$clone" checkout -q --detach "$commit"
    echo "=== $(date -u +%H:%M:%S) ${release[*]:0:2} in $clone"
    (cd "$clone" && env -u QB480_SIGN_PKCS12 -u QB480_SIGN_PASSWORD -u SOURCE_DATE_EPOCH \
         -u CMAKE_C_COMPILER_LAUNCHER -u CMAKE_CXX_COMPILER_LAUNCHER "${release[@]}") >"$clone.log" 2>&1 ||
        { tail -n 30 "$clone.log" >&2; echo "check-reproducible: the release failed in $clone (log: $clone.log)" >&2; exit 1; }
done

deliverables() {
    (cd "$1" && find dist build/release-i686 build/release-x86_64 .run/screenshots -type f \
        \( -path 'dist/*' -o -name qb480.cpl -o -name qb480load.exe -o -name qb480cfg.exe -o -name qb480cfgmsi.dll \
           -o -path '.run/screenshots/*.png' \) -not -path '*/CMakeFiles/*' | LC_ALL=C sort)
}
first=${clones[0]} second=${clones[1]}
if [ "$(deliverables "$first")" != "$(deliverables "$second")" ]; then
    diff <(deliverables "$first") <(deliverables "$second") >&2 || true
    echo "check-reproducible: the two builds made different sets of files; clones kept in $work" >&2
    exit 1
fi
differ=0 count=0
while read -r file; do
    count=$((count + 1))
    sum=$(sha256sum <"$first/$file" | cut -c1-64)
    if cmp -s "$first/$file" "$second/$file"; then
        printf '%s  same     %s\n' "$sum" "$file"
    else
        differ=$((differ + 1))
        printf '%s  DIFFERS  %s (%d bytes differ)\n' "$sum" "$file" "$(cmp -l "$first/$file" "$second/$file" 2>/dev/null | wc -l)"
    fi
done < <(deliverables "$first")
echo "check-reproducible: commit $commit, $count files, $differ differ"
if [ "$differ" -ne 0 ]; then
    echo "check-reproducible: clones kept in $work" >&2
    exit 1
fi
rm -rf "$work"

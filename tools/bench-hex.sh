#!/usr/bin/env bash
# Times the HEX converter against objcopy on the same files, natively and, when
# the i686 build exists, under Wine with both buffer growth rules. Not a test:
# it prints times and ratios for a person to read, and fails only when a
# converter's output is wrong or a tool is missing.
#
# usage: tools/bench-hex.sh [--runs=N]
#   QB480_HEX2BIN      native hex2bin (default build/native/tools/hex2bin)
#   QB480_HEX2BIN_EXE  i686 hex2bin.exe (default build/i686/tools/hex2bin.exe)
#   QB480_WINEPREFIX   its Wine prefix (default build/i686/wineprefix)
# Builds nothing: build the native preset (and the i686 one) first.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
native=${QB480_HEX2BIN:-$root/build/native/tools/hex2bin}
exe=${QB480_HEX2BIN_EXE:-$root/build/i686/tools/hex2bin.exe}
prefix=${QB480_WINEPREFIX:-$root/build/i686/wineprefix}
runs=3

for arg in "$@"; do
    case $arg in
    --runs=[1-9]*) runs=${arg#--runs=} ;;
    *) echo "usage: $0 [--runs=N]" >&2; exit 2 ;;
    esac
done

for tool in srec_cat objcopy cmp; do
    command -v "$tool" >/dev/null || { echo "bench-hex: $tool not found" >&2; exit 1; }
done
[ -x "$native" ] || { echo "bench-hex: $native not found: cmake --preset native && cmake --build --preset native" >&2; exit 1; }

with_wine=1
if [ ! -f "$exe" ]; then
    echo "note: $exe not found: Wine timings skipped"
    with_wine=0
elif ! command -v wine >/dev/null; then
    echo "note: wine not found: Wine timings skipped"
    with_wine=0
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

run_wine() {
    # Relative paths: Wine resolves them against the current folder.
    env -u DISPLAY WINEPREFIX="$prefix" WINEDEBUG=-all wine "$exe" "$@"
}

# best_time VAR EXPECTED OUT COMMAND...: runs COMMAND $runs times, checks that
# OUT then equals EXPECTED (OUT "-": no output to check), and stores the
# shortest wall time in seconds.
best_time() {
    local var=$1 expected=$2 out=$3
    shift 3
    local best="" i start end elapsed
    for ((i = 0; i < runs; i++)); do
        [ "$out" = - ] || rm -f "$out"
        start=$EPOCHREALTIME
        "$@" || { echo "bench-hex: $* failed" >&2; exit 1; }
        end=$EPOCHREALTIME
        elapsed=$(awk -v s="$start" -v e="$end" 'BEGIN { printf "%.4f", e - s }')
        if [ -z "$best" ] || awk -v t="$elapsed" -v b="$best" 'BEGIN { exit !(t < b) }'; then
            best=$elapsed
        fi
        if [ "$out" != - ] && ! cmp -s "$out" "$expected"; then
            echo "bench-hex: $* wrote a wrong image" >&2
            exit 1
        fi
    done
    printf -v "$var" '%s' "$best"
}

read_hex() { cat "$1" >/dev/null; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (a == "-" || b == "-") print "-"; else if (b > 0) printf "%.1f", a / b; else print "inf" }'; }
verdict() { awk -v v="$1" -v g="$3" -v op="$2" 'BEGIN { ok = (op == ">=") ? v >= g : v <= g; print ok ? "goal met" : "GOAL MISSED" }'; }

echo "generating images and HEX files (32-byte records)..."
declare -A size=([1M]=1048576 [16M]=16777216)
for s in 1M 16M; do
    head -c "${size[$s]}" /dev/urandom >"$s.bin"
    srec_cat "$s.bin" -binary -o "$s.hex" -intel -obs=32
done
echo "timing..."

declare -A t
for s in 1M 16M; do
    best_time "t[cat,$s]" - - read_hex "$s.hex"
    best_time "t[native,$s]" "$s.bin" "out-native.bin" "$native" "$s.hex" out-native.bin
    best_time "t[objcopy,$s]" "$s.bin" "out-objcopy.bin" objcopy -I ihex -O binary "$s.hex" out-objcopy.bin
done

rows=(cat native objcopy)
declare -A label=([cat]="cat HEX > /dev/null" [native]="hex2bin (native)" [objcopy]="objcopy -I ihex -O binary"
                  [startup]="hex2bin.exe, 1 record (Wine start-up)" [steps]="hex2bin.exe --growth=steps (Wine)"
                  [geometric]="hex2bin.exe --growth=geometric (Wine)")
if [ $with_wine -eq 1 ]; then
    printf ':0100000055AA\n:00000001FF\n' >tiny.hex
    printf '\x55' >tiny.bin
    run_wine tiny.hex out-tiny.bin  # starts the prefix's wineserver before any timing
    best_time "t[startup,1M]" tiny.bin out-tiny.bin run_wine tiny.hex out-tiny.bin
    t[startup,16M]=-
    for s in 1M 16M; do
        for rule in steps geometric; do
            best_time "t[$rule,$s]" "$s.bin" "out-$rule.bin" run_wine "--growth=$rule" "$s.hex" "out-$rule.bin"
        done
    done
    rows+=(startup steps geometric)
    # Leave nothing running: the prefix's wineserver exits a few seconds after
    # its last client. A persistent one started by someone else is not ours to
    # stop.
    env WINEPREFIX="$prefix" timeout 20 wineserver -w ||
        echo "note: the wineserver of $prefix is still running (a persistent one?)"
fi

echo
echo "best of $runs runs, wall time in seconds; every output compared with its image"
printf '%-40s %10s %10s %10s\n' "" "1 MiB" "16 MiB" "16M/1M"
for r in "${rows[@]}"; do
    printf '%-40s %10s %10s %10s\n' "${label[$r]}" "${t[$r,1M]}" "${t[$r,16M]}" "$(ratio "${t[$r,16M]}" "${t[$r,1M]}")"
done

echo
for s in 1M 16M; do
    printf 'objcopy / hex2bin (native), %-3s: %s\n' "$s" "$(ratio "${t[objcopy,$s]}" "${t[native,$s]}")"
done
r=$(ratio "${t[objcopy,16M]}" "${t[native,16M]}")
echo "  goal >= 2 at 16 MiB: $(verdict "$r" ">=" 2)"
for c in native objcopy steps geometric; do
    [ -n "${t[$c,1M]:-}" ] || continue
    r=$(ratio "${t[$c,16M]}" "${t[$c,1M]}")
    printf '16 MiB / 1 MiB, %-36s %6s  (goal <= 20: %s)\n' "${label[$c]}:" "$r" "$(verdict "$r" "<=" 20)"
done
if [ $with_wine -eq 1 ]; then
    for s in 1M 16M; do
        printf 'steps / geometric under Wine, %-3s: %s\n' "$s" "$(ratio "${t[steps,$s]}" "${t[geometric,$s]}")"
    done
fi

#!/usr/bin/env bash
# Converts HEX files written by other tools (srec_cat, objcopy) with hex2bin
# and compares the result byte for byte with the image they were made from;
# then feeds it damaged copies of such files, which it must refuse without
# touching the existing output or leaving a temporary file behind.
#
# usage: hexcompat.sh HEX2BIN SCRATCH_DIR
# SCRATCH_DIR is emptied first; it is removed when every case passes and kept
# (with the failing inputs) otherwise.
set -u

if [ $# -ne 2 ]; then
    echo "usage: $0 HEX2BIN SCRATCH_DIR" >&2
    exit 2
fi
hex2bin=$1
scratch=$2

missing=0
for tool in srec_cat objcopy; do
    if ! command -v "$tool" >/dev/null 2>&1; then
        echo "hexcompat: $tool not found: install srecord and binutils (tools/install-deps.sh)" >&2
        missing=1
    fi
done
if [ ! -x "$hex2bin" ]; then
    echo "hexcompat: $hex2bin is not an executable" >&2
    missing=1
fi
[ $missing -eq 0 ] || exit 1

rm -rf "$scratch"
mkdir -p "$scratch/img" "$scratch/hex" "$scratch/run" || exit 1

passed=0
failed=0
pass() { passed=$((passed + 1)); printf 'ok    %s\n' "$1"; }
fail() { failed=$((failed + 1)); printf 'FAIL  %s: %s\n' "$1" "$2"; }

# Temporary files the converter creates beside OUT (OUT.XXXXXX).
leftovers() { compgen -G "$1.??????" | tr '\n' ' '; }

# expect_image NAME HEX EXPECTED: hex2bin must exit 0 and write exactly
# EXPECTED, replacing a longer stale output file.
expect_image() {
    local name=$1 hex=$2 expected=$3
    local dir="$scratch/run/$name"
    mkdir -p "$dir"
    local out="$dir/out.bin"
    { cat "$expected"; printf 'stale bytes beyond the new image'; } >"$out"
    "$hex2bin" "$hex" "$out" 2>"$dir/stderr"
    local rc=$?
    local left
    left=$(leftovers "$out")
    if [ $rc -ne 0 ]; then
        fail "$name" "exit $rc, expected 0 ($(head -n1 "$dir/stderr"))"
    elif ! cmp -s "$out" "$expected"; then
        fail "$name" "image differs: $(cmp "$out" "$expected" 2>&1 | head -n1)"
    elif [ -n "$left" ]; then
        fail "$name" "temporary file left behind: $left"
    else
        pass "$name"
        rm -rf "$dir"
    fi
}

# expect_refused NAME HEX LINE WORDS: hex2bin must exit 1, name line LINE and
# a fault containing WORDS, and leave the previous output file as it was (same
# contents, same inode) with no temporary file beside it.
expect_refused() {
    local name=$1 hex=$2 line=$3 words=$4
    local dir="$scratch/run/$name"
    mkdir -p "$dir"
    local out="$dir/out.bin"
    printf 'previous image, must survive a refused conversion\n' >"$out"
    cp "$out" "$dir/previous"
    local inode
    inode=$(stat -c %i "$out")
    "$hex2bin" "$hex" "$out" 2>"$dir/stderr"
    local rc=$?
    local message left
    message=$(head -n1 "$dir/stderr")
    left=$(leftovers "$out")
    if [ $rc -ne 1 ]; then
        fail "$name" "exit $rc, expected 1"
    elif [[ "$message" != *"line $line: "*"$words"* ]]; then
        fail "$name" "message \"$message\", expected line $line and \"$words\""
    elif [ ! -f "$out" ] || ! cmp -s "$out" "$dir/previous" || [ "$(stat -c %i "$out")" != "$inode" ]; then
        fail "$name" "the previous output file was changed"
    elif [ -n "$left" ]; then
        fail "$name" "temporary file left behind: $left"
    else
        pass "$name (line $line: ${message#*: *: })"
        rm -rf "$dir"
    fi
}

# Variants of a valid file: CR LF line ends, and lower-case hex digits in the
# record lines.
crlf() { sed 's/$/\r/' "$1"; }
lower() { sed '/^:/y/ABCDEF/abcdef/' "$1"; }

# A record line (":" included) from its fields and data, with its checksum.
record() {
    local body
    body=$(printf '%02X%04X%02X%s' "$1" "$2" "$3" "${4:-}")
    local sum=0 i
    for ((i = 0; i < ${#body}; i += 2)); do
        sum=$((sum + 16#${body:i:2}))
    done
    printf ':%s%02X\n' "$body" $(((256 - sum % 256) % 256))
}

line_of() { sed -n "${2}p" "$1"; }
line_count() { wc -l <"$1" | tr -d ' '; }

# replace_line FILE N TEXT: FILE with line N replaced by TEXT.
replace_line() { awk -v n="$2" -v text="$3" 'NR == n { print text; next } { print }' "$1"; }

# --- Files written by other tools ----------------------------------------

# 0 < n < 16, exact record multiples, 64 KiB and one byte more, and sizes that
# leave a short last record for every record size used here.
sizes=(0 1 15 16 1000 65536 65537 300007)
for n in "${sizes[@]}"; do
    head -c "$n" /dev/urandom >"$scratch/img/$n.bin"
done

for n in "${sizes[@]}"; do
    img="$scratch/img/$n.bin"
    for obs in 16 32 255; do
        hex="$scratch/hex/srec$obs-$n.hex"
        if ! srec_cat "$img" -binary -o "$hex" -intel -obs=$obs 2>"$scratch/srec.err"; then
            fail "srec$obs-$n" "srec_cat failed: $(head -n1 "$scratch/srec.err")"
            continue
        fi
        expect_image "srec$obs-$n" "$hex" "$img"
        crlf "$hex" >"$hex.crlf"
        expect_image "srec$obs-$n-crlf" "$hex.crlf" "$img"
        lower "$hex" >"$hex.lower"
        expect_image "srec$obs-$n-lower" "$hex.lower" "$img"
        crlf "$hex.lower" >"$hex.lower.crlf"
        expect_image "srec$obs-$n-lower-crlf" "$hex.lower.crlf" "$img"
    done

    # objcopy cannot read an empty file, and above 64 KiB it writes extended
    # segment address records (type 02), which the converter does not take.
    [ "$n" -gt 0 ] || continue
    hex="$scratch/hex/objcopy-$n.hex"
    if ! objcopy -I binary -O ihex "$img" "$hex" 2>"$scratch/objcopy.err"; then
        fail "objcopy-$n" "objcopy failed: $(head -n1 "$scratch/objcopy.err")"
        continue
    fi
    if [ "$n" -le 65536 ]; then
        expect_image "objcopy-$n" "$hex" "$img"
        crlf "$hex" >"$hex.crlf"
        expect_image "objcopy-$n-crlf" "$hex.crlf" "$img"
        lower "$hex" >"$hex.lower"
        expect_image "objcopy-$n-lower" "$hex.lower" "$img"
    else
        type02=$(grep -n '^:......02' "$hex" | head -n1 | cut -d: -f1)
        if [ -z "$type02" ]; then
            fail "objcopy-$n" "objcopy wrote no type 02 record; this case no longer tests its refusal"
        else
            expect_refused "objcopy-$n" "$hex" "$type02" "unsupported record type"
        fi
    fi
done

# Data placed above address 0: the image is zeros up to the first byte.
# 0x100 stays in the first 64 KiB, 0xFFF9 makes records straddle 64 KiB
# boundaries, 0x3F0000 needs an upper address far from zero.
for placement in 1000@256 65537@65529 300007@65529 15@4128768; do
    n=${placement%@*}
    offset=${placement#*@}
    name="srec16-$n-at-$offset"
    hex="$scratch/hex/$name.hex"
    expected="$scratch/img/$name.bin"
    { head -c "$offset" /dev/zero; cat "$scratch/img/$n.bin"; } >"$expected"
    if ! srec_cat "$scratch/img/$n.bin" -binary -offset "$offset" -o "$hex" -intel -obs=16 2>"$scratch/srec.err"; then
        fail "$name" "srec_cat failed: $(head -n1 "$scratch/srec.err")"
        continue
    fi
    expect_image "$name" "$hex" "$expected"
    crlf "$hex" >"$hex.crlf"
    expect_image "$name-crlf" "$hex.crlf" "$expected"
done

# --- Accepted edits of a valid file --------------------------------------

base="$scratch/hex/srec16-1000.hex"       # line 1: type 04, 2-64: data, 65: end
far="$scratch/hex/srec32-65537.hex"       # its last data record lies above 64 KiB
base_img="$scratch/img/1000.bin"
far_img="$scratch/img/65537.bin"
end_line=$(line_count "$base")
far_end=$(line_count "$far")
edit="$scratch/hex/edit"
mkdir -p "$edit"

if [ "$(line_of "$base" "$end_line")" != ":00000001FF" ] || [ "$(line_of "$far" "$far_end")" != ":00000001FF" ]; then
    fail "base files" "srec_cat did not end its files with :00000001FF; the edits below would not mean what they say"
fi

{ echo '"made by srec_cat'; sed '3i# a comment between records' "$base"; } >"$edit/comments.hex"
expect_image "comment-lines" "$edit/comments.hex" "$base_img"

{ cat "$base"; echo 'text after the end record is not read'; echo ':0'; } >"$edit/after-end.hex"
expect_image "text-after-end-record" "$edit/after-end.hex" "$base_img"

head -c -1 "$base" >"$edit/no-final-lf.hex"
expect_image "end-record-without-line-feed" "$edit/no-final-lf.hex" "$base_img"

# --- Damaged copies of valid files: each must be refused ------------------

# The last hex digit of a line changed to another one.
flip_last_digit() {
    local text=$1
    local last=${text: -1}
    printf '%s%s' "${text:0:${#text}-1}" "$(echo "$last" | tr '0-9A-Fa-f' '1-9A-F0b-f0')"
}

replace_line "$base" 2 "$(flip_last_digit "$(line_of "$base" 2)")" >"$edit/checksum-first.hex"
expect_refused "checksum-digit-flipped" "$edit/checksum-first.hex" 2 "bad checksum"

n=$((far_end - 1))
replace_line "$far" "$n" "$(flip_last_digit "$(line_of "$far" "$n")")" >"$edit/checksum-far.hex"
expect_refused "checksum-digit-flipped-above-64k" "$edit/checksum-far.hex" "$n" "bad checksum"

crlf "$edit/checksum-first.hex" >"$edit/checksum-first-crlf.hex"
expect_refused "checksum-digit-flipped-crlf" "$edit/checksum-first-crlf.hex" 2 "bad checksum"

text=$(line_of "$base" 10)
replace_line "$base" 10 "${text:0:20}${text:21}" >"$edit/deleted-char.hex"
expect_refused "character-deleted-in-data" "$edit/deleted-char.hex" 10 "shorter than its byte count"

awk 'NR == 5 { print "" } { print }' "$base" >"$edit/blank.hex"
expect_refused "blank-line-inserted" "$edit/blank.hex" 5 "neither a record nor a comment"

crlf "$edit/blank.hex" >"$edit/blank-crlf.hex"
expect_refused "blank-line-inserted-crlf" "$edit/blank-crlf.hex" 5 "neither a record nor a comment"

# A data record retyped, its checksum corrected so only the type is wrong.
text=$(line_of "$base" 3)
count=$((16#${text:1:2}))
for type in 02 03 05; do
    replace_line "$base" 3 "$(record "$count" $((16#${text:3:4})) $((16#$type)) "${text:9:2*count}")" >"$edit/type$type.hex"
    expect_refused "record-type-$type" "$edit/type$type.hex" 3 "unsupported record type"
done

head -n $((end_line - 1)) "$base" >"$edit/no-end.hex"
expect_refused "end-record-removed" "$edit/no-end.hex" $((end_line - 1)) "no end-of-file record"

text=$(line_of "$base" 7)
replace_line "$base" 7 "${text:0:15}G${text:16}" >"$edit/non-hex.hex"
expect_refused "non-hex-character-in-data" "$edit/non-hex.hex" 7 "not a hexadecimal digit"

text=$(line_of "$far" 40)
replace_line "$far" 40 "${text:0:30} ${text:31}" >"$edit/space.hex"
expect_refused "space-in-data" "$edit/space.hex" 40 "not a hexadecimal digit"

replace_line "$base" "$end_line" ":00000001FE" >"$edit/end-checksum.hex"
expect_refused "end-record-checksum-wrong" "$edit/end-checksum.hex" "$end_line" "bad checksum"

head -c -3 "$base" >"$edit/truncated-end.hex"   # ":00000001" without checksum or line feed
expect_refused "final-line-truncated" "$edit/truncated-end.hex" "$end_line" "shorter than its byte count"

# A transfer cut off in the middle of a data record far into the file.
n=$((far_end / 2))
head -n $((n - 1)) "$far" >"$edit/cut.hex"
line_of "$far" "$n" | head -c 40 >>"$edit/cut.hex"
expect_refused "file-cut-inside-a-record" "$edit/cut.hex" "$n" "shorter than its byte count"

echo "hexcompat: $passed passed, $failed failed"
if [ $failed -ne 0 ]; then
    echo "inputs of the failed cases are kept in $scratch"
    exit 1
fi
rm -rf "$scratch"
exit 0

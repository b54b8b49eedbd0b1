#!/bin/bash
# morvexc show, check and apply over one table of patches and files, run
# natively or under Wine. Each row runs in a fresh folder holding the patch
# p, the file game.exe and an older output o (ff); a refusal must leave all
# three as they were, and no row may leave a temporary file.
# Usage: patch_commands_test.sh MORVEXC [wine]
set -u -o pipefail
source "$(dirname "$0")/harness.sh"
unhex() { tr -d ' ' | xxd -r -p; }
morvexc() { $runner "$exe" "$@" 2>"$work/err" | tr -d '\r'; return "${PIPESTATUS[0]}"; }

G="47414d452e45584500000000 00"          # GAME.EXE
O="4f544845522e45584500000000"           # OTHER.EXE
R1="01000000 01 aa" R3="03000000 01 bb"  # offset 1 -> aa, offset 3 -> bb
P2="$G 0200 $R1 $R3 6869"                # with the comment "hi"
orig="00112233" patched="00aa22bb" partly="00aa2233"
neither="game.exe: 1 of 2 records already hold their new value: this is neither the file the patch was made from nor the patched file"
long=$(printf 'c%.0s' {1..300})
# 65,535 positions, the most a patch holds, on a file of as many zeros.
many=$(python3 -c 'import struct; print((b"GAME.EXE" + bytes(5) + struct.pack("<H", 65535)
    + b"".join(struct.pack("<IBB", i, 1, 1) for i in range(65535))).hex())')
nopath=$([ -n "$runner" ] && echo "Path not found" || echo "No such file or directory")

# name|patch|file|command|exit|expected: stdout's start, or stderr for exit 1,
# or f=HEX,o=HEX for the files afterwards
rows=(
"show|$G 0300 $R3 $R1 $R3 6869|$orig|show p|0|target: GAME.EXE|records: 3 (2 positions)|comment: hi|00000003 BB|00000001 AA|00000003 BB"
"show long comment|$G 0000 $(printf %s "$long" | xxd -p | tr -d '\n')|$orig|show p|0|target: GAME.EXE|records: 0|comment: $long|note: the comment is 300 bytes, longer than the 255 bytes Morvex writes"
"check 65,535 positions|$many|$(printf '%0131070d' 0)|check p game.exe|0|not applied|0 of 65535 positions hold their new value; target GAME.EXE; file 65535 bytes"
"check patched|$P2|$patched|check p game.exe|0|already applied|2 of 2 positions hold their new value; target GAME.EXE; file 4 bytes"
"check partly|$P2|$partly|check p game.exe|1|$neither"
"check past the end|$G 0100 04000000 01 aa|$orig|check p game.exe|1|game.exe: offset 0x00000004 is past the end of the file (4 bytes)"
"exactly 1 MiB|zeros:1048576|$orig|apply --any-name p game.exe|0|already applied: game.exe not rewritten"
"1 MiB and a byte|zeros:1048577|$orig|show p|1|Not a patch: p is not a patch file: larger than 1 MiB: not a patch"
"apply in place|$P2|$orig|apply p game.exe|0|f=$patched"
"apply already applied|$P2|$patched|apply p game.exe|0|already applied: game.exe not rewritten"
"apply partly|$P2|$partly|apply p game.exe o|1|$neither"
"apply --force|$P2|$partly|apply p game.exe --force|0|f=$patched"
"apply other name|$O 0100 $R1|$orig|apply --force p game.exe|1|game.exe: the patch is for OTHER.EXE, this file's name gives GAME.EXE"
"apply --any-name|$O 0100 $R1|$orig|apply --any-name p game.exe|0|f=00aa2233"
"apply to output|$P2|$orig|apply p game.exe o|0|f=$orig,o=$patched"
"undo over the file|$P2|$orig|apply --undo ./game.exe p game.exe|1|./game.exe: is the file being patched or its result"
"undo over a new output, path|$P2|$orig|apply --undo ../row/n p game.exe n|1|../row/n: is the file being patched or its result"
"nothing to undo|$P2|$patched|apply --undo u p game.exe|1|u: nothing to undo: the file is already patched"
"a patch named -p|$P2|$orig|show -- -p|1|-p: cannot be opened as a file: $([ -n "$runner" ] && echo File not found || echo No such file or directory)"
"apply into a missing folder|$P2|$orig|apply p game.exe none/o|1|none/o: cannot be written: $nopath"
"check a folder|$P2|$orig|check p .|1|.: cannot be opened as a file: $([ -n "$runner" ] && echo Is a folder || echo Is a directory)"
)

for row in "${rows[@]}"; do
    IFS='|' read -r name patch file commands status expected <<< "$row"
    dir=$work/row && rm -rf "$dir" && mkdir "$dir" && cd "$dir" || exit 1
    if [[ $patch == zeros:* ]]; then truncate -s "${patch#zeros:}" p; else unhex <<< "$patch" > p; fi
    unhex <<< "$file" > game.exe
    printf '\xff' > o
    before="$(hex p) $(hex game.exe) $(hex o) $(stat -c %i game.exe)"
    # shellcheck disable=SC2086
    out=$(morvexc $commands | tr '\n' '|')
    rc=$?
    check "$name: exit" "$status" "$rc"
    case $status:$expected in
    1:*) check "$name: message" "morvexc: $expected" "$(tr -d '\r' < "$work/err")"
         check "$name: files kept" "$before" "$(hex p) $(hex game.exe) $(hex o) $(stat -c %i game.exe)" ;;
    0:?=*) IFS=',' read -ra files <<< "$expected"
         for f in "${files[@]}"; do
             path=${f%%=*}; [ "$path" == f ] && path=game.exe
             check "$name: $path" "${f#*=}" "$(hex "$path")"
         done ;;
    0:*) check "$name: output" "$expected" "${out%|}" ;;
    esac
    [[ $out == "already applied: game.exe not rewritten"* ]] &&
        check "$name: same file" "${before##* }" "$(stat -c %i game.exe)"
    check "$name: no temporary file" "game.exe o p" "$(ls | paste -sd' ')"
done

cd "$work" || exit 1
# Past 4 GiB, a size cut to 32 bits would put offset 3 past the end.
unhex <<< "$P2" > p && truncate -s $((2**32 + 3)) game.exe
check "check over 4 GiB" "not applied|0 of 2 positions hold their new value; target GAME.EXE; file 4294967299 bytes" \
    "$(morvexc check p game.exe | tr '\n' '|' | sed 's/|$//')"
rm -f game.exe

# Two applies of different patches on one file at once: each judges the file
# the other left, and both end applied.
unhex <<< "$G 0100 $R1" > p1 && unhex <<< "$G 0100 $R3" > p3 && both=0
for _ in 1 2 3 4 5; do
    head -c $((8 << 20)) /dev/zero > game.exe
    morvexc apply "$(winpath "$work/p1")" game.exe > /dev/null & morvexc apply "$(winpath "$work/p3")" game.exe > /dev/null
    wait
    [ "$(head -c4 game.exe | xxd -p)" == 00aa00bb ] && both=$((both + 1))
done
check "two applies at once, five times: both applied" 5 "$both"

if [ -z "$runner" ]; then
    # A copy that fails part way (the file size limit) leaves nothing.
    head -c 4096 /dev/zero > game.exe && unhex <<< "$P2" > p
    (ulimit -f 1; morvexc apply p game.exe n > /dev/null)
    check "size limit" "1|morvexc: n: cannot be written: File too large|4096|" \
        "$?|$(cat "$work/err")|$(cmp -s game.exe /dev/zero -n 4096 && stat -c %s game.exe)|$(ls -A | grep -E 'morvex|^n$')"
    # Killed for real in the middle of its writes: check tells of the journal,
    # and one more apply finishes it.
    mkdir "$work/kill" && cd "$work/kill" && unhex <<< "$P2" > p && unhex <<< "$orig" > game.exe || exit 1
    strace -f -o /dev/null -e inject=pwrite64:signal=SIGKILL:when=2 "$exe" apply --undo u p game.exe > /dev/null 2>&1
    check "killed: exit, file, journal" "137 00aa2233 .game.exe.morvex-journal" "$? $(hex game.exe) $(ls -A | grep journal)"
    check "killed: check" "game.exe: an apply of p was interrupted; apply it again to finish it|not applied" \
        "$(morvexc check p game.exe | head -2 | paste -sd'|')"
    check "killed: applied again" "game.exe: an interrupted apply of p was finished|already applied: game.exe not rewritten" \
        "$(morvexc apply --undo u p game.exe | paste -sd'|')"
else
    # The paths a Windows user types.
    unhex <<< "$P2" > "$work/fix.ov" && unhex <<< "$orig" > "$work/game.exe"
    p=$(winpath "$work/fix.ov") f=$(winpath "$work/game.exe")
    $runner cmd /c attrib +s "$f" > /dev/null
    morvexc apply "$p" "$f" > /dev/null
    check "backslash apply, attributes kept" "$patched AS" "$(hex "$work/game.exe") $($runner cmd /c attrib "$f" | cut -c1-9 | tr -d ' \r')"
    morvexc apply --undo 'NEW.EXE.' "$p" "$f" new.exe > /dev/null
    check "undo over a new output, case and dot" "morvexc: NEW.EXE.: is the file being patched or its result" "$(tr -d '\r' < "$work/err")"
    unhex <<< "$orig" > "$work/game2.exe"
    morvexc apply --any-name --undo "$(winpath "$work/u2.ov")" "$p" "$(winpath "$work/game2.exe")" "$(winpath "$work/new2.exe")" > /dev/null
    check "undo beside a new output" "0 $patched" "$? $(hex "$work/new2.exe")"
fi

report

#!/bin/bash
# morvexc show, check and apply over one table of patches and files, run
# natively or under Wine. Each row runs in a fresh folder holding the patch
# p, the file game.exe and an older output o (ff); a refusal must leave all
# three as they were, and no row may leave a temporary file.
# Usage: patch_commands_test.sh MORVEXC [wine]
set -u -o pipefail
source "$(dirname "$0")/harness.sh"
hex() { xxd -p "$1" | tr -d '\n'; }
unhex() { tr -d ' ' | xxd -r -p; }
morvexc() { $runner "$exe" "$@" 2>"$work/err" | tr -d '\r'; return "${PIPESTATUS[0]}"; }

G="47414d452e45584500000000 00"          # GAME.EXE
O="4f544845522e45584500000000"           # OTHER.EXE
R1="01000000 01 aa" R3="03000000 01 bb"  # offset 1 -> aa, offset 3 -> bb
P2="$G 0200 $R1 $R3 6869"                # with the comment "hi"
orig="00112233" patched="00aa22bb" partly="00aa2233"
neither="game.exe: 1 of 2 records already hold their new value: this is neither the file the patch was made from nor the patched file"
long=$(printf 'c%.0s' {1..300})
missing=$([ -n "$runner" ] && echo "File not found" || echo "No such file or directory")
nopath=$([ -n "$runner" ] && echo "Path not found" || echo "No such file or directory")

# name|patch|file|commands (; between steps)|exit|expected: stdout's start,
# or stderr for exit 1, or f=HEX,o=HEX,u=HEX for the files afterwards
rows=(
"show|$P2|$orig|show p|0|target: GAME.EXE|records: 2|comment: hi|00000001 AA|00000003 BB"
"show out of order, same twice|$G 0300 $R3 $R1 $R3|$orig|show p|0|target: GAME.EXE|records: 3 (2 positions)|comment: |00000003 BB|00000001 AA|00000003 BB"
"show long comment|$G 0000 $(printf %s "$long" | xxd -p | tr -d '\n')|$orig|show p|0|target: GAME.EXE|records: 0|comment: $long|note: the comment is 300 bytes, longer than the 255 bytes Morvex writes"
"check clean|$P2|$orig|check p game.exe|0|not applied|0 of 2 positions hold their new value; target GAME.EXE; file 4 bytes"
"check patched|$P2|$patched|check p game.exe|0|already applied|2 of 2 positions hold their new value; target GAME.EXE; file 4 bytes"
"check partly|$P2|$partly|check p game.exe|1|$neither"
"check other name|$O 0100 $R1|$orig|check p game.exe|1|game.exe: the patch is for OTHER.EXE, this file's name gives GAME.EXE"
"check raw name|434146e9 9b5c 2e455845 000000 0100 $R1|$orig|check p game.exe|1|game.exe: the patch is for CAFé›\x5C.EXE, this file's name gives GAME.EXE"
"check past the end|$G 0100 04000000 01 aa|$orig|check p game.exe|1|game.exe: offset 0x00000004 is past the end of the file (4 bytes)"
"short header|$G 00|$orig|check p game.exe|1|p: shorter than the 15-byte header"
"13th name byte|${G% 00} 41 0000|$orig|show p|1|Not a patch: p is not a patch file: the target name's 13th byte is not 0"
"offset twice|$G 0200 $R1 01000000 01 bb|$orig|apply p game.exe|1|p: offset 0x00000001 is given twice, as AA and as BB"
"exactly 1 MiB|zeros:1048576|$orig|apply --any-name p game.exe|0|already applied: game.exe not rewritten"
"1 MiB and a byte|zeros:1048577|$orig|show p|1|Not a patch: p is not a patch file: larger than 1 MiB: not a patch"
"apply in place|$P2|$orig|apply p game.exe|0|f=$patched"
"apply out of order, same twice|$G 0300 $R3 $R1 $R3|$orig|apply p game.exe|0|f=$patched"
"apply already applied|$P2|$patched|apply p game.exe|0|already applied: game.exe not rewritten"
"apply partly|$P2|$partly|apply p game.exe o|1|$neither"
"apply --force|$P2|$partly|apply p game.exe --force|0|f=$patched"
"apply other name|$O 0100 $R1|$orig|apply --force p game.exe|1|game.exe: the patch is for OTHER.EXE, this file's name gives GAME.EXE"
"apply --any-name|$O 0100 $R1|$orig|apply --any-name p game.exe|0|f=00aa2233"
"apply past the end|$G 0100 04000000 01 aa|$orig|apply --force --any-name p game.exe|1|game.exe: offset 0x00000004 is past the end of the file (4 bytes)"
"apply to output|$P2|$orig|apply p game.exe o|0|f=$orig,o=$patched"
"already applied to output|$P2|$patched|apply p game.exe o|0|f=$patched,o=$patched"
"output is the patch|$P2|$orig|apply p game.exe ./p|1|./p: is the patch itself"
"undo said|$P2|$orig|apply --undo u p game.exe|0|applied: game.exe written|undo patch: u"
"undo round trip|$P2|$orig|apply --undo u p game.exe; apply u game.exe|0|f=$orig,u=${G// /}0200010000000111030000000133$(printf 'undoes p' | xxd -p)"
"undo only what changes|$P2|$partly|apply --force --undo u p game.exe o|0|f=$partly,o=$patched,u=${G// /}0100030000000133$(printf 'undoes p' | xxd -p)"
"undo over the file|$P2|$orig|apply --undo ./game.exe p game.exe|1|./game.exe: is the file being patched or its result"
"undo over the output|$P2|$orig|apply --undo ./o p game.exe o|1|./o: is the file being patched or its result"
"undo beside a new output|$P2|$orig|apply --undo u p game.exe n|0|f=$orig,n=$patched"
"undo over a new output|$P2|$orig|apply --undo ./n p game.exe n|1|./n: is the file being patched or its result"
"undo over a new output, path|$P2|$orig|apply --undo ../row/n p game.exe n|1|../row/n: is the file being patched or its result"
"nothing to undo|$P2|$patched|apply --undo u p game.exe|1|u: nothing to undo: the file is already patched"
"a patch named -p|$P2|$orig|show -- -p|1|-p: cannot be opened as a file: $missing"
"apply to a missing file|$P2|$orig|apply p nope|1|nope: cannot be opened as a file: $missing"
"apply into a missing folder|$P2|$orig|apply p game.exe none/o|1|none/o: cannot be written: $nopath"
"check a folder|$P2|$orig|check p .|1|.: cannot be opened as a file: $([ -n "$runner" ] && echo Is a folder || echo Is a directory)"
)
# A file that holds more than it measured when opened, as if it grew.
[ -z "$runner" ] && rows+=("grown file|$G 0000|$orig|apply --any-name p /proc/self/status o|1|/proc/self/status: changed while Morvex was working")

for row in "${rows[@]}"; do
    IFS='|' read -r name patch file commands status expected <<< "$row"
    dir=$work/row && rm -rf "$dir" && mkdir "$dir" && cd "$dir" || exit 1
    if [[ $patch == zeros:* ]]; then truncate -s "${patch#zeros:}" p; else unhex <<< "$patch" > p; fi
    unhex <<< "$file" > game.exe
    printf '\xff' > o
    chmod 640 game.exe
    before="$(hex p) $(hex game.exe) $(hex o) $(stat -c %i game.exe)"
    IFS=';' read -ra steps <<< "$commands"
    for step in "${steps[@]}"; do
        # shellcheck disable=SC2086
        out=$(morvexc $step | tr '\n' '|')
        rc=$?
    done
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
    [ -z "$runner" ] && check "$name: mode" 640 "$(stat -c %a game.exe)"
    [[ $out == "already applied: game.exe not rewritten"* ]] &&
        check "$name: same file" "${before##* }" "$(stat -c %i game.exe)"
    check "$name: no temporary file" "game.exe o p" "$(ls | grep -vxE 'u|n' | tr '\n' ' ' | sed 's/ $//')"
done

# A replaced file keeps its permission bits, never setuid or setgid; a new
# one gets the mode the umask gives.
if [ -z "$runner" ]; then
    cd "$work/row" && unhex <<< "$P2" > p && unhex <<< "$orig" > game.exe && chmod 6755 game.exe && rm -f n
    (umask 027; morvexc apply p game.exe > /dev/null; morvexc apply p game.exe n > /dev/null)
    # In place the mode stays, setuid and setgid with it where the system keeps them.
    check "modes" "$([ "$(id -u)" == 0 ] && echo 6755 || echo 755) 640" "$(stat -c %a game.exe) $(stat -c %a n)"
    # Names are shown escaped on stdout as in a refusal.
    unhex <<< "$orig" > game.exe
    check "names escaped" 'applied: o\x5C\x09 written|undo patch: u\x1B' \
        "$(morvexc apply --undo $'u\e' p game.exe $'o\\\t' | tr '\n' '|' | sed 's/|$//')"
fi

# make, show, check, apply: the result is the modified file exactly, for
# fixed random bytes with evenly spread changes (one apply copy chunk and
# several, and a patch of 65,535 records).
cd "$work" || exit 1
for run in "1 1" "4099 20" "3000000 20" "524280 65535"; do
    read -r size changes <<< "$run"
    python3 -c 'import random, sys
size, changes = map(int, sys.argv[1:]); random.seed(size); data = bytearray(random.randbytes(size))
open("orig.bin", "wb").write(data)
for i in range(changes): data[i * size // changes] ^= random.randrange(1, 256)
open("mod.bin", "wb").write(data)' $run
    morvexc orig.bin mod.bin rt.ov > /dev/null
    check "round trip $size: show, check" "records: $changes|not applied" \
        "$(morvexc show rt.ov | sed -n 2p)|$(morvexc check rt.ov orig.bin | head -1)"
    morvexc apply rt.ov orig.bin > /dev/null
    check "round trip $size: result" "0|$(hex mod.bin)" "$?$(cat "$work/err")|$(hex orig.bin)"
done
# Past 4 GiB, a size cut to 32 bits would put offset 3 past the end.
rm -f ./*.bin && unhex <<< "$P2" > p && truncate -s $((2**32 + 3)) game.exe
check "check over 4 GiB" "not applied|0 of 2 positions hold their new value; target GAME.EXE; file 4294967299 bytes" \
    "$(morvexc check p game.exe | tr '\n' '|' | sed 's/|$//')"
# Applied to an output, its holes stay holes.
if [ -z "$runner" ]; then
    morvexc apply p game.exe o4 > /dev/null
    check "apply over 4 GiB to an output: its size, bytes, holes" "4294967299 00aa00bb00 1" \
        "$(stat -c %s o4) $(head -c5 o4 | xxd -p) $(($(du -k o4 | cut -f1) < 1024))"
fi
rm -f game.exe o4

# A copy that fails part way (the file size limit) leaves nothing; in place
# only the patched bytes are written, within the limit.
if [ -z "$runner" ]; then
    head -c 4096 /dev/zero > game.exe && unhex <<< "$P2" > p
    (ulimit -f 1; morvexc apply p game.exe n > /dev/null)
    check "size limit" "1|morvexc: n: cannot be written: File too large|4096|" \
        "$?|$(cat "$work/err")|$(cmp -s game.exe /dev/zero -n 4096 && stat -c %s game.exe)|$(ls -A | grep -E 'morvex|^n$')"
    (ulimit -f 1; morvexc apply p game.exe > /dev/null)
    check "size limit in place" "0|00aa00bb" "$?|$(head -c4 game.exe | xxd -p)"
fi

# What a file patched in place keeps: an apply --undo u over game.exe (owned
# by nobody when run as root, with an extended attribute and a second hard
# link g2, which sees the patch). Faults of the system's calls are the unit
# tests' (replace_faults_test.cpp, in_place_faults_test.cpp).
if [ -z "$runner" ]; then
    mkdir "$work/fault" && cd "$work/fault" || exit 1
    unhex <<< "$P2" > p && unhex <<< "$orig" > game.exe && echo old > u && ln game.exe g2 && chmod 640 game.exe
    owner=$(id -un):$(id -gn)
    [ "$(id -u)" == 0 ] && chown nobody:nogroup game.exe && owner=nobody:nogroup
    python3 -c 'import os; os.setxattr("game.exe", "user.mark", b"kept")'
    inode=$(stat -c %i game.exe)
    "$exe" apply --undo u p game.exe > /dev/null 2> "$work/err"
    check "kept: exit, message, files, every name" "0||$patched GAM $patched $inode" \
        "$?|$(cat "$work/err")|$(hex game.exe) $(head -c3 u) $(hex g2) $(stat -c %i game.exe)"
    check "kept: owner, mode, attribute" "$owner 640 kept" \
        "$(stat -c %U:%G game.exe) $(stat -c %a game.exe) $(python3 -c 'import os; print(os.getxattr("game.exe", "user.mark").decode())')"
    check "kept: nothing else left" "g2 p u" "$(ls -A | grep -vx game.exe | tr '\n' ' ' | sed 's/ $//')"
    # An undo patch named by a link to where the new output is to go.
    cd "$work/fault" && rm -f u g2 && ln -s n u && unhex <<< "$orig" > game.exe
    morvexc apply --undo u p game.exe n > /dev/null
    check "undo through a link to the new output" "1|morvexc: u: is the file being patched or its result|game.exe p u" \
        "$?|$(cat "$work/err")|$(ls -A | tr '\n' ' ' | sed 's/ $//')"
    # As root, an undo patch over a file another user left in a shared folder is refused.
    if [ "$(id -u)" == 0 ]; then
        mkdir -m 1777 shared && chown nobody shared && echo theirs > shared/u && chown 65533 shared/u
        morvexc apply --undo shared/u p game.exe > /dev/null
        check "undo over another user's file in a shared folder" \
            "1|morvexc: shared/u: cannot be written: a file another user left in a shared folder|theirs|$orig" \
            "$?|$(cat "$work/err")|$(cat shared/u)|$(hex game.exe)"
        rm -rf shared
    fi
    # A file open on fd 3 and then deleted: its /proc name leads nowhere.
    out=$(exec 3< game.exe && rm game.exe && morvexc apply --any-name p /proc/self/fd/3; echo "$?|$(cat "$work/err")")
    check "/proc/self/fd of a deleted file" "1|morvexc: /proc/self/fd/3: cannot be written: a link to a file that has no name|p u" \
        "$out|$(ls -A | tr '\n' ' ' | sed 's/ $//')"
    # Two applies of different patches on one file at once, ten times: each
    # judges the file the other left, and both end applied with their undo patches.
    unhex <<< "$G 0100 $R1" > p1 && unhex <<< "$G 0100 $R3" > p3 && both=0
    for _ in $(seq 10); do
        head -c $((16 << 20)) /dev/zero > game.exe && rm -f u1 u3
        "$exe" apply --undo u1 p1 game.exe > /dev/null 2>&1 & "$exe" apply --undo u3 p3 game.exe > /dev/null 2>&1
        wait
        [ "$(head -c4 game.exe | xxd -p) $(tail -c +16 u1 | head -c6 | xxd -p) $(tail -c +16 u3 | head -c6 | xxd -p)" \
            == "00aa00bb 010000000100 030000000100" ] && both=$((both + 1))
    done
    check "two applies at once, ten times: both applied, each undo patch" 10 "$both"
    # Killed for real in the middle of its writes: check tells of the journal,
    # and one more apply finishes it, with the undo patch it asked for.
    rm -f ./* .??* && unhex <<< "$P2" > p && unhex <<< "$orig" > game.exe
    strace -f -o /dev/null -e inject=pwrite64:signal=SIGKILL:when=2 "$exe" apply --undo u p game.exe > /dev/null 2>&1
    check "killed: exit, file, journal" "137 00aa2233 .game.exe.morvex-journal" "$? $(hex game.exe) $(ls -A | grep journal)"
    check "killed: check" "game.exe: an apply of p was interrupted; apply it again to finish it|not applied" \
        "$(morvexc check p game.exe | head -2 | paste -sd'|')"
    check "killed: applied again" "game.exe: an interrupted apply of p was finished|already applied: game.exe not rewritten" \
        "$(morvexc apply --undo u p game.exe | paste -sd'|')"
    check "killed: the result" "$patched ${G// /}0200010000000111030000000133$(printf 'undoes p' | xxd -p)|game.exe p u" \
        "$(hex game.exe) $(hex u)|$(ls -A | paste -sd' ')"
    # A program running from the file cannot be written where it lies: it is
    # patched through a copy, and the program runs on from the old one.
    cp /bin/sleep prog && { ./prog 30 > /dev/null 2>&1 & sleeping=$!; }
    for _ in $(seq 500); do [ "$(readlink /proc/$sleeping/exe 2> /dev/null)" == "$PWD/prog" ] && break; sleep 0.01; done
    unhex <<< "$G 0200 01000000 01 aa 03000000 01 bb" > pe && inode=$(stat -c %i prog)
    morvexc apply --any-name pe prog > /dev/null
    check "running program's file: exit, bytes, a new file" "0 7faa4cbb 1" \
        "$? $(head -c4 prog | xxd -p) $([ "$(stat -c %i prog)" != "$inode" ] && echo 1)"
    kill $sleeping; wait $sleeping 2> /dev/null; rm -f prog pe
fi

# Under Wine, the paths a Windows user types.
if [ -n "$runner" ]; then
    unhex <<< "$P2" > "$work/fix.ov" && unhex <<< "$orig" > "$work/game.exe"
    p=$(winpath "$work/fix.ov") f=$(winpath "$work/game.exe")
    $runner cmd /c attrib +s "$f" > /dev/null
    morvexc apply "$p" "$f" > /dev/null
    check "backslash apply, attributes kept" "$patched AS" "$(hex "$work/game.exe") $($runner cmd /c attrib "$f" | cut -c1-9 | tr -d ' \r')"
    morvexc apply --undo 'NEW.EXE.' "$p" "$f" new.exe > /dev/null
    check "undo over a new output, case and dot" "morvexc: NEW.EXE.: is the file being patched or its result" "$(tr -d '\r' < "$work/err")"
    # An apply held at its flush while FILE grows refuses; two at once take
    # turns, the second waiting while the first keeps writes to FILE out.
    unhex <<< "$orig" > "$work/game.exe"
    strace -f -o "$work/trace" -e trace=fsync -e inject=fsync:delay_enter=1000000:when=1 $runner "$exe" apply "$p" "$f" \
        > /dev/null 2> "$work/err" & tracer=$!
    for _ in $(seq 500); do grep -q 'fsync(' "$work/trace" 2> /dev/null && break; sleep 0.02; done
    printf x >> "$work/game.exe"
    wait $tracer
    check "appended to during the flush" "1|morvexc: $f: changed while Morvex was working|${orig}78" \
        "$?|$(grep -v '^strace: ' "$work/err" | tr -d '\r')|$(hex "$work/game.exe")"
    unhex <<< "$G 0100 $R1" > "$work/p1" && unhex <<< "$G 0100 $R3" > "$work/p3" && both=0
    for _ in 1 2 3 4 5; do
        head -c $((8 << 20)) /dev/zero > "$work/game.exe"
        morvexc apply "$(winpath "$work/p1")" "$f" > /dev/null & morvexc apply "$(winpath "$work/p3")" "$f" > /dev/null
        wait
        [ "$(head -c4 "$work/game.exe" | xxd -p)" == 00aa00bb ] && both=$((both + 1))
    done
    check "two applies at once, five times: both applied" 5 "$both"
fi

report

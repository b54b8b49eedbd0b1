#!/bin/bash
# morvexc as a user runs it: natively, or under Wine with backslash paths.
# Usage: morvexc_test.sh MORVEXC [wine MORVEXC_WITHOUT_UTF8 CONSOLE_CAPTURE]
set -u
source "$(dirname "$0")/harness.sh"
export LC_ALL=C.UTF-8 # the texts below are UTF-8
morvexc() { # runs it with the given files; prints stdout+stderr and the exit code
    local args=()
    for a in "$@"; do case $a in /*) args+=("$(winpath "$a")") ;; *) args+=("$a") ;; esac; done
    local out rc
    out=$($runner "$exe" "${args[@]}" 2>&1)
    rc=$?
    out=${out//"$(winpath "$work")"/W}
    echo "$(printf '%s' "$out" | tr -d '\r' | tr '\n' '|')|$rc"
}

# Bytes that text mode would translate (the unit tests pin the patch's bytes).
printf '\x0a\x0d\x1a\x00\x0d\x0a' > "$work/game.exe"
printf '\x0d\x0a\x1a\x01\x0d\x0a' > "$work/game.new"
check "made" "Patch Complete!|0" "$(morvexc "$work/game.exe" "$work/game.new" "$work/fix.ov" fix)"
# What the code page cannot store is said in one warning line naming what
# lost characters; the patch is made all the same.
cp "$work/game.exe" "$work/игра.exe"
lost="characters code page 1252 cannot store; they are written as '?'"
for row in "игра.exe|日本語||morvexc: warning: the target name and the comment hold $lost" \
    "игра.exe|日本語|--code-page=1251|morvexc: warning: the comment holds ${lost/1252/1251}" "game.exe|é||"; do
    IFS='|' read -r name comment option expected <<< "$row"
    # shellcheck disable=SC2086
    # Wine may write stdout first: the lines are compared in sorted order.
    want=$(printf '%s\n' ${expected:+"$expected"} "Patch Complete!" 0 | sort | paste -sd'|')
    check "warning for $name, $comment $option" "$want" \
        "$(morvexc $option "$work/$name" "$work/game.new" "$work/w.ov" "$comment" | tr '|' '\n' | sort | paste -sd'|')"
done

# words|exit and output: every refusal is one line naming the file.
rows=(
"show --forse|morvexc: unknown option '--forse'|Try 'morvexc --help'.|2"
"check $work/fix.ov|morvexc: missing operand|Try 'morvexc --help'.|2"
"show a b|morvexc: extra operand 'b'|Try 'morvexc --help'.|2"
"$work/game.exe $work/game.new $work/dash.ov -- -c|Patch Complete!|0"
"show $work/dash.ov -h|usage: morvexc [make] [--code-page N] ORIGINAL MODIFIED PATCH [COMMENT]|"
"show --code-page 65001 $work/fix.ov|morvexc: unknown code page '65001'|Try 'morvexc --help'.|2"
"show $(printf 'a%.0s' {1..300})|morvexc: $(printf 'a%.0s' {1..300}): path too long|1"
)
# Control bytes in a message and on stdout are escaped; a path may take up to 1,009 bytes.
[ -z "$runner" ] && rows+=("apply --any-name --undo $work/u"$'\e'" $work/fix.ov $work/game.exe $work/o\\"$'\x01'"|applied: W/o\\x5C\\x01 written|undo patch: W/u\\x1B|0"
    "show $work/"$'\x1f\x7f\\'"|morvexc: W/\\x1F\\x7F\\x5C: cannot be opened as a file: No such file or directory|1"
    "show $(printf 'a/%.0s' {1..504})b|morvexc: $(printf 'a/%.0s' {1..504})b: cannot be opened as a file: No such file or directory|1"
    "show $(printf 'a/%.0s' {1..504})bc|morvexc: $(printf 'a/%.0s' {1..504})bc: path too long|1")
for row in "${rows[@]}"; do
    # shellcheck disable=SC2086
    out=$(morvexc ${row%%|*})
    expected=${row#*|}
    check "${row%%|*}" "$expected" "${out:0:${#expected}}"
done
check "empty path" "morvexc: : Error opening original file" "$(morvexc '' "$work/game.new" "$work/x.ov" | cut -d! -f1)"
if [ -z "$runner" ]; then
    # Another locale's character set is converted through iconv, both ways.
    mkdir "$work/loc" && localedef -i en_US -f ISO-8859-1 "$work/loc/en_US.ISO-8859-1" && cp "$work/game.exe" "$work/caf"$'\xe9'
    check "ISO-8859-1 locale" "target: CAF"$'\xe9|comment: \xe4\xa4|comment: ?\xa4' "$(export LOCPATH=$work/loc LC_ALL=en_US.ISO-8859-1
        morvexc "$work/caf"$'\xe9' "$work/game.new" "$work/l.ov" $'\xe4\xa4' > /dev/null
        morvexc show "$work/l.ov" | cut -d'|' -f1,3 | tr '\n' '|'; morvexc show --code-page 1251 "$work/l.ov" | cut -d'|' -f3)"
fi
out=$($runner "$exe" --help 2>&1 >/dev/full)
out="${out//$'\r'/}|$?"
check "help lists the code pages" "  874 (Thai)|  Windows-1252 (Western European)|0" "$({ $runner "$exe" --help | tr -d '\r' |
    grep -xE '  (874 \(Thai\)|Windows-1252 \(Western European\))'; echo "${PIPESTATUS[0]}"; } | paste -sd'|')"
# Wine's C library gives no reason for /dev/full.
check "write error" "morvexc: write error$([ -z "$runner" ] && echo ": No space left on device")|1" "$out"
# A report lost after an apply still says that the file was patched.
cp "$work/game.exe" "$work/full.exe"
out=$($runner "$exe" apply --any-name "$(winpath "$work/fix.ov")" "$(winpath "$work/full.exe")" 2>&1 >/dev/full)
out="${out//$'\r'/}|$?"
check "report lost after an apply" "morvexc: $(winpath "$work/full.exe"): patched, but the report of it cannot be written$(
    [ -z "$runner" ] && echo ": No space left on device")|1|$(hex "$work/game.new")" "$out|$(hex "$work/full.exe")"
check "nothing written on refusal" "no" "$([ -e "$work/x.ov" ] && echo yes || echo no)"

if [ -n "$runner" ]; then
    # Names outside the ANSI code page reach the file system unchanged; the
    # text stored in the patch is in the ANSI code page, '?' where it lacks a character.
    echo c > "$work/c"
    check "fullwidth name" "Patch Complete!|0" "$(morvexc "$work/game.exe" "$work/game.new" "$work/ｃ")"
    check "look-alike untouched" "c" "$(cat "$work/c")"
    # Without the UTF-8 code page, a name that would reach the system changed
    # (a look-alike, or '?') is refused, and only such a name; an option's
    # path is found on the command line as well as an operand.
    refused="The file name holds characters this system can't pass on!|1"
    for row in "plain.ov|Patch Complete!|0" "é.ov|Patch Complete!|0" "ｃ|morvexc: W\\c: $refused" "あ|morvexc: W\\?: $refused"; do
        check "without UTF-8, ${row%%|*}" "${row#*|}" "$(exe=$3 morvexc "$work/game.exe" "$work/game.new" "$work/${row%%|*}")"
    done
    cp "$work/game.exe" "$work/undo.exe"
    check "without UTF-8, --undo=" "applied: W\\undo.exe written|undo patch: W\\u.ov|0" \
        "$(exe=$3 morvexc apply --any-name --undo="$(winpath "$work/u.ov")" "$work/fix.ov" "$work/undo.exe")"
    # A console on code page 437 shows the characters themselves, on stdout and
    # stderr. Wine draws a console only on a display.
    printf 'CAF\xe9.EXE\0\0\0\0\0\x01\0\0\0\0\0\x01A\xc7a marche, \xe9l\xe8ve' > "$work/café.ov"
    [ -n "${DISPLAY:-}" ] && for row in "café.ov|target: CAFé.EXE|records: 1|comment: Ça marche, élève|00000000 41|0" \
        "игра.ov|morvexc: W\\игра.ov: cannot be opened as a file: File not found|1"; do
        out=$($runner "$4" "$(winpath "$exe")" show "$(winpath "$work/${row%%|*}")")
        check "show ${row%%|*} on a console" "${row#*|}" "${out//"$(winpath "$work")"/W}"
    done
    # A full path of 260 characters is one too many for the system's narrow calls.
    long=$(printf 'a%.0s' $(seq $((259 - ${#work} - 2))))
    check "full path of 260 characters" "morvexc: W\\$long: path too long|1" "$(morvexc show "$work/$long")"
    check "shown in UTF-8 without the UTF-8 code page too" "target: CAFé.EXE" "$(exe=$3 morvexc show "$work/café.ov" | cut -d'|' -f1)"
    check "quoted paths" "Patch Complete!|0" \
        "$(morvexc " \"$(winpath "$work/game.exe")\" " "\"$(winpath "$work/game.new")\"" "$work/q.ov")"
fi

# Interrupts, each sent once the temporary file is open: the old destination
# stays as it was and no temporary file is left.
truncate -s $((2**31 - 1)) "$work/big1" "$work/big2"
echo "old patch" > "$work/big.ov"
printf 'X\0\0\0\0\0\0\0\0\0\0\0\0\x01\x00\x00\x00\x00\x00\x01\x07' > "$work/one.ov"
temps() { (cd "$work" && ls -A .morvex-* mvx*.tmp* big.out 2>/dev/null); }
if [ -n "$runner" ]; then
    # Wine gives SIGINT to the console handler as Ctrl+C.
    $runner "$exe" apply --any-name "$work/one.ov" "$work/big1" "$work/big.out" & pid=$!
    for _ in $(seq 500); do [ -n "$(temps)" ] && break; sleep 0.02; done
    kill -INT $pid
    wait $pid
    check "Ctrl+C while applying: status, nothing left" "130|" "$?|$(temps)"
else
    # signal|a signal ignored at start|strace's faults (the openat calls in the folder: the
    # folder, the old patch, the temporary file)|what the trace shows once it is open|status
    rows=("SIGTERM held at the temporary file's open|TERM||-e inject=openat:delay_exit=1000000:when=3|RDWR|143"
        "SIGALRM, a named temporary file where an unnamed one fails|ALRM||-e inject=openat:error=EOPNOTSUPP:when=3|CREAT.*= [0-9]|142"
        "SIGKILL|KILL|||RDWR.*= [0-9]|137"
        "SIGQUIT, SIGTERM ignored at start|QUIT|TERM||RDWR.*= [0-9]|131")
    for row in "${rows[@]}"; do
        IFS='|' read -r name signal ignored faults opened status <<< "$row"
        echo "old patch" > "$work/big.ov" && rm -f "$work/trace" "$work"/.morvex-*
        # shellcheck disable=SC2086
        ( [ -n "$ignored" ] && trap '' "$ignored"; ASAN_OPTIONS=detect_leaks=0 exec strace -f -o "$work/trace" -P "$work" \
            -e trace=openat $faults "$exe" "$work/big1" "$work/big2" "$work/big.ov" 2> /dev/null) & tracer=$!
        for _ in $(seq 500); do grep -qE "$opened" "$work/trace" 2> /dev/null && break; sleep 0.02; done
        pid=$(grep -m1 -o '^[0-9]*' "$work/trace")
        [ -n "$ignored" ] && kill -"$ignored" "$pid" && sleep 0.2 && check "$name: stays ignored" 0 "$(kill -0 "$pid"; echo $?)"
        kill -"$signal" "$pid"
        { wait $tracer; } 2> /dev/null
        check "$name: status, old patch, nothing left" "$status|old patch|" "$?|$(cat "$work/big.ov")|$(temps)"
    done
fi

# Links are written through and stay links; in a sticky, world-writable folder
# only a link of the caller or of the folder's owner is followed.  A read-only
# patch is kept.
if [ -z "$runner" ]; then
    mkdir -m 777 "$work/links" && cd "$work/links" && mkdir d && echo third > third || exit 1
    cp ../game.exe ../game.new . && "$exe" game.exe game.new ref.ov > /dev/null
    opening="Error opening file to write patch to!" over="The patch can't be written over one of the files being compared!"
    for row in "to-third|third|third|Patch Complete!|0" "d/chain|../to-third|third|Patch Complete!|0" \
        "dangling|d/new.ov|d/new.ov|Patch Complete!|0" "loop1|loop2||morvexc: loop1: $opening: Too many levels of symbolic links|1" \
        "to-game|game.exe||morvexc: to-game: $over|1" "d/to-to-game|../to-game||morvexc: d/to-to-game: $over|1"; do
        IFS='|' read -r link target written expected <<< "$row"
        ln -s "$target" "$link"
        [ "$link" == loop1 ] && ln -s loop1 loop2
        check "link $link" "$expected" "$(morvexc game.exe game.new "$link")"
        check "link $link stays a link" "$link" "$(find "$link" -maxdepth 0 -type l)"
        [ -n "$written" ] && check "link $link: written" "$(hex ref.ov)" "$(hex "$written")"
    done
    if [ "$(id -u)" == 0 ]; then
        mkdir -m 1777 shared && chown nobody shared && ln -s ../third shared/mine && ln -s ../third shared/theirs
        chown -h 65533 shared/theirs
        check "another user's link in a shared folder" "morvexc: shared/theirs: $opening: a link another user left in a shared folder|1" \
            "$(morvexc game.exe game.new shared/theirs)"
        check "my link in a shared folder" "Patch Complete!|0" "$(morvexc game.exe game.new shared/mine)"
    fi
    echo "old patch" > lim.ov
    as=() && chmod 755 "$work" && chmod 444 lim.ov
    [ "$(id -u)" == 0 ] && chown nobody lim.ov && as=(setpriv --reuid=nobody --regid=nogroup --clear-groups)
    out=$("${as[@]}" "$exe" game.exe game.new lim.ov 2>&1)
    check "read-only patch" "morvexc: lim.ov: $opening: Permission denied|1|old patch" "$out|$?|$(cat lim.ov)"
    mkdir -m 333 wx && out=$("${as[@]}" "$exe" game.exe game.new wx/p.ov 2>&1)
    check "a folder that may be written but not read" "Patch Complete!|0|$(hex ref.ov)" "$out|$?|$(hex wx/p.ov)"
    check "no temporary file" "" "$(ls -A . d shared 2>/dev/null | grep morvex)"
fi

report

#!/bin/bash
# morvexc.exe under Wine: a byte-exact patch from backslash paths, inputs full
# of bytes that text mode would translate, and the messages of a refusal.
set -u
exe=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
check() { # name expected actual
    if [ "$2" == "$3" ]; then echo "ok   $1"; else echo "FAIL $1: expected [$2], got [$3]"; failures=$((failures + 1)); fi
}
win() { winepath -w "$1" 2>/dev/null; }

printf '\x0a\x0d\x1a\x00\x0d\x0a' > "$work/game.exe"
printf '\x0d\x0a\x1a\x01\x0d\x0a' > "$work/game.new"
out=$(wine "$exe" "$(win "$work/game.exe")" "$(win "$work/game.new")" "$(win "$work/fix.ov")" "fix" 2>&1 | tr -d '\r')
check "success message" "Patch Complete!" "$out"
check "patch bytes" \
    "47 41 4d 45 2e 45 58 45 00 00 00 00 00 03 00 00 00 00 00 01 0d 01 00 00 00 01 0a 03 00 00 00 01 01 66 69 78" \
    "$(od -An -v -tx1 "$work/fix.ov" | tr -s ' \n' ' ' | sed 's/^ //; s/ $//')"

out=$(wine "$exe" "$(win "$work/absent.exe")" "$(win "$work/game.new")" "$(win "$work/x.ov")" 2>&1 >/dev/null | tr -d '\r')
check "missing original" "Error opening original file!" "$out"
wine "$exe" "$(win "$work/absent.exe")" "$(win "$work/game.new")" "$(win "$work/x.ov")" >/dev/null 2>&1
check "exit code of a refusal" "1" "$?"
check "nothing written" "no" "$([ -e "$work/x.ov" ] && echo yes || echo no)"

echo "$((4 - failures)) passed, $failures failed"
[ $failures -eq 0 ]

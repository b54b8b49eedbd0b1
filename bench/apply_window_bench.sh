#!/bin/bash
# morvex-apply.exe against morvexc.exe apply on a 1 GiB file under Wine, on
# the display given (make bench runs it on a virtual one): the window's apply,
# from Apply to its result box, over morvexc.exe's whole run, and the longest
# the window took to answer a ping meanwhile. Goals: ratio at most 1.15,
# every answer within 100 ms. Exits non-zero only when a command fails.
# Usage: apply_window_bench.sh WINDOWS_BUILD_DIR [ROUNDS]
set -euo pipefail
export LC_ALL=C

build=$(realpath "$1")
rounds=${2:-5}
wine=$(realpath "$(dirname "$0")/../tools/wine")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
winpath() { local p=${1//\//\\}; echo "Z:$p"; }
median() { sort -g | awk '{ v[NR] = $1 } END { print (v[int((NR + 1) / 2)] + v[int(NR / 2) + 1]) / 2 }'; }

mkdir "$work/mod"
head -c $((1 << 30)) /dev/urandom > "$work/game.exe"
cp "$work/game.exe" "$work/mod/game.exe"
python3 - "$work/mod/game.exe" <<'PY'
import mmap, random, sys
with open(sys.argv[1], "r+b") as f, mmap.mmap(f.fileno(), 0) as m:
    for offset in random.sample(range(len(m)), 1000):
        m[offset] ^= random.randrange(1, 256)
PY
"$wine" "$build/cli/morvexc.exe" "$(winpath "$work/game.exe")" "$(winpath "$work/mod/game.exe")" \
    "$(winpath "$work/fix.ov")" > /dev/null
rm "$work/mod/game.exe"

# The two kinds take turns, each first in every other round: each apply
# writes 1 GiB, and the disk's write-back weighs on what comes next.
console=() window=() longest=0
for ((r = 0; r < 2 * rounds; r++)); do
    kind=$( ((r % 4 == 0 || r % 4 == 3)) && echo console || echo window)
    read -r took answer < <("$wine" "$build/bench/morvex_window_bench.exe" "$kind" "$(winpath "$build/cli/morvexc.exe")" \
        "$(winpath "$build/applier/morvex-apply.exe")" "$(winpath "$work/fix.ov")" "$(winpath "$work/game.exe")" |
        tail -n 1 | tr -d '\r') || { echo "apply_window_bench: a $kind apply failed" >&2; exit 1; }
    [ "$kind" == console ] && console+=("$took") || window+=("$took")
    longest=$(awk -v a="$longest" -v b="$answer" 'BEGIN { print (b > a) ? b : a }')
done
w=$(printf '%s\n' "${window[@]}" | median) c=$(printf '%s\n' "${console[@]}" | median)
printf 'morvex-apply.exe 1 GiB, 1000 records %7.1f ms  morvexc.exe apply %7.1f ms  ratio %.3f (goal 1.15)\n' \
    "$w" "$c" "$(awk -v a="$w" -v b="$c" 'BEGIN { print a / b }')"
printf 'morvex-apply.exe longest answer while applying %.1f ms (goal 100)\n' "$longest"

#!/bin/bash
# Times morvexc apply in place on a 256 MiB file against cp of the same file
# over an earlier copy (and cp followed by sync of the copy, since apply
# flushes its result to the disk before it replaces the file), morvexc check
# with 65,535 records against cat of the file, and apply to an output of a
# 4 GiB sparse file holding 16 MiB against a dense 16 MiB file. Goals: apply
# at most 1.15x cp+sync, peak memory under 16 MiB, check well under cat, the
# sparse output in time proportional to its data (ratio near 1). Exits
# non-zero only when a command fails.
# Usage: apply_bench.sh MORVEXC [ROUNDS]
set -euo pipefail
export LC_ALL=C

morvexc=$(realpath "$1")
rounds=${2:-5}
size=$((256 << 20))
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

fail() { echo "apply_bench: $*" >&2; exit 1; }

# run CMD...: sets $took (microseconds); max RSS (KiB) lands in rss.
run() {
    local start=${EPOCHREALTIME/./}
    /usr/bin/time -f %M -o rss "$@" > /dev/null || fail "$* failed"
    took=$(( ${EPOCHREALTIME/./} - start ))
}
median() { sort -g | awk '{ v[NR] = $1 } END { print (v[int((NR + 1) / 2)] + v[int(NR / 2) + 1]) / 2 }'; }
ms() { printf '%s\n' "$@" | median | awk '{ printf "%.1f", $1 / 1000 }'; }
ratio() { paste <(printf '%s\n' "${!1}") <(printf '%s\n' "${!2}") | awk '{ print $1 / $2 }' | median; }

head -c "$size" /dev/urandom > game.bin
cp game.bin copy
for count in 1000 65535; do
    cp game.bin "mod$count"
    python3 - "mod$count" "$count" <<'PY'
import mmap, random, sys
with open(sys.argv[1], "r+b") as f, mmap.mmap(f.fileno(), 0) as m:
    for offset in random.sample(range(len(m)), int(sys.argv[2])):
        m[offset] ^= random.randrange(1, 256)
PY
    "$morvexc" game.bin "mod$count" "fix$count" > /dev/null
    "$morvexc" apply --undo "undo$count" "fix$count" game.bin > /dev/null
    cmp -s game.bin "mod$count" || fail "apply of $count records did not give the modified file"
    "$morvexc" apply "undo$count" game.bin > /dev/null
    rm "mod$count"
done

peak=0
for count in 1000 65535; do
    apply=() cp=() cpsync=()
    for ((r = 0; r < rounds; r++)); do
        run "$morvexc" apply "fix$count" game.bin
        apply+=("$took") && (( $(cat rss) > peak )) && peak=$(cat rss)
        run cp game.bin copy && cp+=("$took")
        run sh -c 'cp game.bin copy && sync copy' && cpsync+=("$took")
        "$morvexc" apply "undo$count" game.bin > /dev/null
    done
    printf 'apply %5d records in place %7.1f ms  cp %7.1f ms  ratio %.3f  cp+sync %7.1f ms  ratio %.3f\n' \
        "$count" "$(ms "${apply[@]}")" "$(ms "${cp[@]}")" "$(ratio 'apply[@]' 'cp[@]')" \
        "$(ms "${cpsync[@]}")" "$(ratio 'apply[@]' 'cpsync[@]')"
done
echo "apply peak memory $peak KiB (goal under 16384)"

check=() cat=()
for ((r = 0; r < rounds; r++)); do
    run "$morvexc" check fix65535 game.bin && check+=("$took")
    run sh -c 'cat game.bin > /dev/null' && cat+=("$took")
done
printf 'check 65535 records %7.1f ms  cat %7.1f ms  ratio %.3f\n' \
    "$(ms "${check[@]}")" "$(ms "${cat[@]}")" "$(ratio 'check[@]' 'cat[@]')"

truncate -s $((4 << 30)) sparse.bin
head -c $((16 << 20)) /dev/urandom > dense.bin
dd if=dense.bin of=sparse.bin conv=notrunc status=none
printf 'X\0\0\0\0\0\0\0\0\0\0\0\0\x01\x00\x00\x00\x00\x00\x01\x07' > one.ov
sparse=() dense=()
for ((r = 0; r < rounds; r++)); do
    run "$morvexc" apply --any-name one.ov sparse.bin out.sparse && sparse+=("$took")
    run "$morvexc" apply --any-name one.ov dense.bin out.dense && dense+=("$took")
done
printf 'apply to an output: 4 GiB sparse with 16 MiB of data %7.1f ms  dense 16 MiB %7.1f ms  ratio %.3f  output on disk %d KiB\n' \
    "$(ms "${sparse[@]}")" "$(ms "${dense[@]}")" "$(ratio 'sparse[@]' 'dense[@]')" "$(du -k out.sparse | cut -f1)"

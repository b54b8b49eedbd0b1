#!/bin/bash
# Applying in place against a copy of the whole file: morvexc apply --undo
# of 16 and of 65,535 scattered records into a 1.5 GiB file against
# `cp FILE COPY && sync COPY`, with the space the apply takes while it runs
# (the peak of samples) and the space the folder holds beyond FILE
# afterwards; and, with a Windows build, morvex-apply.exe applying 16 records
# to 1 GiB under Wine against morvexc.exe writing the same patch to an
# OUTPUT (a flushed copy). Goals: 0.02, 0.3 and 0.05 of the copy. Exits
# non-zero only when a command fails.
# Usage: in_place_bench.sh MORVEXC [WINDOWS_BUILD_DIR] [ROUNDS]
set -euo pipefail
export LC_ALL=C

morvexc=$(realpath "$1")
build=${2:+$(realpath "$2")}
wine=$(realpath "$(dirname "$0")/../tools/wine")
rounds=${3:-3}
work=$(mktemp -d "${TMPDIR:-/var/tmp}/morvex-bench-XXXXXX")
trap 'rm -rf "$work"' EXIT
cd "$work"

fail() { echo "in_place_bench: $*" >&2; exit 1; }
now() { echo "${EPOCHREALTIME/./}"; }
median() { sort -g | awk '{ v[NR] = $1 } END { print (v[int((NR + 1) / 2)] + v[int(NR / 2) + 1]) / 2 }'; }
# A patch of COUNT records scattered over SIZE bytes, each flipping its byte's low bit.
patch() {
    python3 - "$@" <<'PY'
import os, random, struct, sys
name, size, count, out = sys.argv[1], int(sys.argv[2]), int(sys.argv[3]), sys.argv[4]
random.seed(count)
offsets = sorted(random.sample(range(min(size, 2**31)), count))
with open(name, "rb") as f:
    old = []
    for o in offsets:
        f.seek(o); old.append(f.read(1)[0])
body = b"".join(struct.pack("<IBB", o, 1, v ^ 1) for o, v in zip(offsets, old))
open(out, "wb").write(os.path.basename(name).upper().encode().ljust(13, b"\0") + struct.pack("<H", count) + body)
PY
}

size=$((1536 << 20))
head -c "$size" /dev/urandom > game.bin
sync game.bin
for count in 16 65535; do
    patch game.bin "$size" "$count" "fix$count.ov"
    # The file system's used space, sampled while an untimed apply runs (the
    # sampling takes a core): its peak above what was used before is what
    # the apply took at most.
    sync && used=$(df -k --output=used . | tail -1) && peak=$used
    "$morvexc" apply --undo "undo$count.ov" "fix$count.ov" game.bin > /dev/null & pid=$!
    while kill -0 $pid 2> /dev/null; do
        u=$(df -k --output=used . | tail -1) && (( u > peak )) && peak=$u
    done
    wait $pid || fail "apply of $count records failed"
    taken=$(( peak - used ))
    "$morvexc" apply "undo$count.ov" game.bin > /dev/null && rm "undo$count.ov" || fail "undo of $count records failed"
    apply=() copy=()
    for ((r = 0; r < rounds; r++)); do
        start=$(now)
        "$morvexc" apply --undo "undo$count.ov" "fix$count.ov" game.bin > /dev/null || fail "apply of $count records failed"
        apply+=($(( $(now) - start )))
        extra=$(du -k --exclude=game.bin --exclude='fix*' . | cut -f1)
        "$morvexc" apply "undo$count.ov" game.bin > /dev/null || fail "undo of $count records failed"
        rm "undo$count.ov"
        start=$(now)
        cp game.bin copy && sync copy
        copy+=($(( $(now) - start )))
        rm copy
    done
    a=$(printf '%s\n' "${apply[@]}" | median) c=$(printf '%s\n' "${copy[@]}" | median)
    printf 'apply --undo %5d records into 1.5 GiB in place %8.1f ms  cp+sync %8.1f ms  ratio %.4f (goal %s)  space taken during (peak seen) %d KiB, folder beyond FILE after %d KiB\n' \
        "$count" "$(awk -v a="$a" 'BEGIN { print a / 1000 }')" "$(awk -v c="$c" 'BEGIN { print c / 1000 }')" \
        "$(awk -v a="$a" -v c="$c" 'BEGIN { print a / c }')" "$([ "$count" == 16 ] && echo 0.02 || echo 0.3)" "$taken" "$extra"
done
rm game.bin

[ -n "$build" ] || exit 0
winpath() { local p=${1//\//\\}; echo "Z:$p"; }
head -c $((1 << 30)) /dev/urandom > game.exe
sync game.exe # so that no apply flushes what the making of it left
patch game.exe $((1 << 30)) 16 fix.ov
window=() copy=()
for ((r = 0; r < 2 * rounds; r++)); do
    kind=$( ((r % 2 == 0)) && echo window || echo copy)
    read -r took _ < <("$wine" "$build/bench/morvex_window_bench.exe" "$kind" "$(winpath "$build/cli/morvexc.exe")" \
        "$(winpath "$build/applier/morvex-apply.exe")" "$(winpath "$work/fix.ov")" "$(winpath "$work/game.exe")" |
        tail -n 1 | tr -d '\r') || fail "a $kind apply under Wine failed"
    [ "$kind" == window ] && window+=("$took") || copy+=("$took")
done
w=$(printf '%s\n' "${window[@]}" | median) c=$(printf '%s\n' "${copy[@]}" | median)
printf 'morvex-apply.exe 16 records into 1 GiB in place %7.1f ms  morvexc.exe to an output %7.1f ms  ratio %.4f (goal 0.05)\n' \
    "$w" "$c" "$(awk -v a="$w" -v b="$c" 'BEGIN { print a / b }')"

#!/bin/bash
# Times morvexc against `cmp -l` on two 256 MiB file pairs with scattered
# differences. Goals: morvexc at most 0.77 of cmp's time on both pairs,
# peak memory under 16 MiB. Exits non-zero only when a command fails.
# Usage: compare_with_cmp.sh MORVEXC [ROUNDS]
set -euo pipefail
export LC_ALL=C

morvexc=$(realpath "$1")
rounds=${2:-7}
size=$((256 << 20))
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

fail() { echo "compare_with_cmp: $*" >&2; exit 1; }

# make_pair NAME COUNT: NAME.orig is random, NAME.mod differs from it in
# COUNT bytes at distinct random offsets.
make_pair() {
    head -c "$size" /dev/urandom > "$work/$1.orig"
    cp "$work/$1.orig" "$work/$1.mod"
    python3 - "$work/$1.mod" "$2" <<'EOF'
import mmap, random, sys
with open(sys.argv[1], "r+b") as f, mmap.mmap(f.fileno(), 0) as m:
    for offset in random.sample(range(len(m)), int(sys.argv[2])):
        m[offset] ^= random.randrange(1, 256)
EOF
}

# run CMD...: sets $took (microseconds) and $status. Both tools go through
# /usr/bin/time so they pay the same extra fork; max RSS (KiB) lands in $work/rss.
run() {
    local start=${EPOCHREALTIME/./}
    status=0
    /usr/bin/time -f %M -o "$work/rss" "$@" || status=$?
    took=$(( ${EPOCHREALTIME/./} - start ))
}

median() { sort -g | awk '{ v[NR] = $1 } END { print (v[int((NR + 1) / 2)] + v[int(NR / 2) + 1]) / 2 }'; }

make_pair few 1000
make_pair many 65535
cat "$work"/*.orig "$work"/*.mod > /dev/null

speed=PASS
peak=0
for pair in few many; do
    orig=$work/$pair.orig mod=$work/$pair.mod
    morvexc_us=() cmp_us=() rss=()

    # Untimed first runs: finish warming up, and check that both agree.
    run "$morvexc" "$orig" "$mod" "$work/patch" > /dev/null
    [ "$status" -eq 0 ] || fail "morvexc failed on $pair (exit $status)"
    run cmp -l "$orig" "$mod" > "$work/cmp.out"
    [ "$status" -eq 1 ] || fail "cmp -l failed on $pair (exit $status)"
    read -r lo hi < <(od -An -tu1 -j13 -N2 "$work/patch") # record count, little-endian
    records=$((lo + 256 * hi)) lines=$(wc -l < "$work/cmp.out")
    [ "$records" -eq "$lines" ] || fail "$pair: patch has $records records, cmp -l printed $lines lines"

    for ((r = 0; r < rounds; r++)); do
        run "$morvexc" "$orig" "$mod" "$work/patch" > /dev/null
        [ "$status" -eq 0 ] || fail "morvexc failed on $pair (exit $status)"
        morvexc_us+=("$took") rss+=("$(cat "$work/rss")")
        run cmp -l "$orig" "$mod" > "$work/cmp.out"
        [ "$status" -eq 1 ] || fail "cmp -l failed on $pair (exit $status)"
        cmp_us+=("$took")
    done

    m=$(printf '%s\n' "${morvexc_us[@]}" | median)
    c=$(printf '%s\n' "${cmp_us[@]}" | median)
    ratio=$(paste <(printf '%s\n' "${morvexc_us[@]}") <(printf '%s\n' "${cmp_us[@]}") |
            awk '{ print $1 / $2 }' | median)
    max_rss=$(printf '%s\n' "${rss[@]}" | sort -n | tail -1)
    ((max_rss > peak)) && peak=$max_rss
    awk -v r="$ratio" 'BEGIN { exit !(r <= 0.77) }' || speed=MISS
    printf '%-5s %5d diffs  morvexc %7.1f ms  cmp -l %7.1f ms  ratio %.3f  morvexc max RSS %d KiB  (%d rounds)\n' \
        "$pair" "$records" "$(awk -v t="$m" 'BEGIN { print t / 1000 }')" \
        "$(awk -v t="$c" 'BEGIN { print t / 1000 }')" "$ratio" "$max_rss" "$rounds"
done

echo "$speed: morvexc at most 0.77 of cmp -l's time on both pairs"
if ((peak < 16 * 1024)); then memory=PASS; else memory=MISS; fi
echo "$memory: morvexc peak memory under 16 MiB (peak $peak KiB)"

#!/bin/bash
# Times morvexc.exe under Wine making a patch of two 512 MiB files free to use
# two cores against the same pinned to one (taskset), Wine's start-up (a run
# of --version) taken off both. Each comparison thread reads through a handle
# of its own, so two cores must be no slower than one: ratio at most 1.
# Exits non-zero only when a command fails.
# Usage: wine_threads.sh MORVEXC_EXE [ROUNDS]
set -euo pipefail
export LC_ALL=C

exe=$(realpath "$1")
wine=$(realpath "$(dirname "$0")/../tools/wine")
rounds=${2:-7}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

fail() { echo "wine_threads: $*" >&2; exit 1; }
# run CPUS CMD...: sets $took (microseconds).
run() {
    local cpus=$1 start=${EPOCHREALTIME/./}
    shift
    taskset -c "$cpus" "$wine" "$@" > /dev/null || fail "$* failed"
    took=$(( ${EPOCHREALTIME/./} - start ))
}
median() { sort -g | awk '{ v[NR] = $1 } END { print (v[int((NR + 1) / 2)] + v[int(NR / 2) + 1]) / 2 }'; }

head -c $((512 << 20)) /dev/urandom > a
cp a b
printf '\x5a' | dd of=b bs=1 seek=$((300 << 20)) conv=notrunc status=none
cat a b > /dev/null
run 0,1 "$exe" a b p.ov
one=() two=() ratios=()
for ((r = 0; r < rounds; r++)); do
    run 0,1 "$exe" --version && start=$took
    run 0 "$exe" a b p.ov && one+=($((took - start)))
    run 0,1 "$exe" a b p.ov && two+=($((took - start)))
    ratios+=("$(awk -v t="${two[-1]}" -v o="${one[-1]}" 'BEGIN { print t / o }')")
done
ratio=$(printf '%s\n' "${ratios[@]}" | median)
printf 'wine make 512 MiB  two cores %7.1f ms  one core %7.1f ms  ratio %.3f  (%d rounds, start-up taken off)\n' \
    "$(printf '%s\n' "${two[@]}" | median | awk '{ print $1 / 1000 }')" \
    "$(printf '%s\n' "${one[@]}" | median | awk '{ print $1 / 1000 }')" "$ratio" "$rounds"
awk -v r="$ratio" 'BEGIN { exit !(r <= 1) }' && echo "PASS: two cores no slower than one" || echo "MISS: two cores slower than one"

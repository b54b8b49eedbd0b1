#!/bin/bash
# The fuzzer for SECONDS over the committed seeds and the corpus it grows in
# FOLDER/corpus; what it finds is kept in FOLDER, its log in FOLDER/log.
# Usage: run_fuzz.sh FUZZER SECONDS FOLDER SEEDS
set -u
fuzzer=$1 seconds=$2 folder=$3 seeds=$4
mkdir -p "$folder/corpus"
"$fuzzer" -max_total_time="$seconds" -artifact_prefix="$folder/" "$folder/corpus" "$seeds" \
    2>"$folder/log" || { tail -40 "$folder/log"; exit 1; }
grep '^Done' "$folder/log"

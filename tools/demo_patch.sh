#!/bin/bash
# Makes a patch from two small generated files and prints its bytes.
set -eu
demo=build/demo
mkdir -p "$demo"
printf '\x00\x11\x22\x33' > "$demo/demo.exe"
printf '\x00\xaa\x22\xbb' > "$demo/demo.new"
build/native/cli/morvexc "$demo/demo.exe" "$demo/demo.new" "$demo/demo.ov" "hi"
od -An -v -tx1 "$demo/demo.ov"

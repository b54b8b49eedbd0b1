#!/bin/bash
# What the built programs declare in their resources, read from the exe files
# themselves, and that morvexc --version prints the project version.
# Usage: check_exe.sh VERSION MORVEX_EXE MORVEXC_EXE MORVEX_APPLY_EXE [RUNNER]
set -u
version=$1 gui=$2 console=$3 applier=$4 runner=${5:-}
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# Rows: which exe (gui, console or both), resource type, text it must hold.
while IFS='|' read -r which type text; do
    for exe in $([ "$which" != console ] && echo "$gui") $([ "$which" != gui ] && echo "$console"); do
        # The manifest (type 24) is UTF-8; other resources hold UTF-16 text.
        wrestool -x --raw -t "$type" "$exe" | if [ "$type" = 24 ]; then cat; else strings -el; fi |
            grep -qF -- "$text" || fail "$(basename "$exe") resource type $type lacks $text"
    done
done <<EOF
both|24|>PerMonitorV2, PerMonitor</dpiAwareness>
both|24|>UTF-8</activeCodePage>
both|24|<supportedOS Id="{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"/>
gui|24|name="Microsoft.Windows.Common-Controls" version="6.0.0.0"
both|16|$version
both|16|Copyright (c) 2026 the Morvex developers
gui|5|Byte patch maker, version $version
EOF

# The program's icon group, in every size Explorer and the task bar ask for.
# icotool reads the group from a file: through a pipe it misses the PNG entry.
icon=$(mktemp) && trap 'rm -f "$icon"' EXIT
wrestool -x -t 14 "$gui" >"$icon"
sizes=$(icotool -l "$icon" | sed -n 's/.*--width=\([0-9]*\).*/\1/p' | tr '\n' ' ')
[ "$sizes" = "16 32 48 256 " ] || fail "icon sizes are '$sizes'"
wrestool -x -t 14 "$applier" | cmp -s - "$icon" && fail "morvex-apply.exe has morvex.exe's icon"

printed=$($runner "$console" --version 2>/dev/null | tr -d '\r')
[ "$printed" = "morvexc $version" ] || fail "morvexc --version printed '$printed'"
exit $((failures > 0))

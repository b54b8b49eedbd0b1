#!/bin/bash
# Starts morvex.exe (or the exe named as the argument) under Wine. Without a
# display it runs on a virtual one, saves a screenshot of the main dialog and
# closes the program again.
set -eu
exe=${1:-build/windows/ui/morvex.exe}
if [ -n "${DISPLAY:-}" ]; then
    exec tools/wine "$exe"
fi

screenshot=build/$(basename "$exe" .exe).png
display=:$((90 + RANDOM % 100))
Xvfb "$display" -screen 0 800x600x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
trap 'wineserver -k 2>/dev/null || true; kill $xvfb 2>/dev/null || true' EXIT
export DISPLAY=$display
sleep 1
tools/wine "$exe" &
# The dialog has mapped once a window titled Morvex (Morvex Apply) exists.
title='"Morvex( Apply)?"'
for _ in $(seq 60); do
    xwininfo -root -tree 2>/dev/null | grep -Eq "$title" && break
    sleep 0.5
done
sleep 1
window=$(xwininfo -root -tree | awk -v title="$title" '$0 ~ title {print $1; exit}')
import -window "$window" "$screenshot"
echo "No display: $(basename "$exe") ran on a virtual display; its main dialog is in $screenshot"

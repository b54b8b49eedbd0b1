#!/bin/bash
# The installer under Wine, made by cpack from this build: installed per user,
# its files and file types read back, a patch opened through its type brings
# up the installed morvex-apply.exe with the patch and the file beside it,
# and uninstalling leaves what was there before: another program's types for
# .qj and .bop (machine-wide and the user's own), the user's .t95 with an
# empty default value, and in a second round an empty Software\Classes.
# Usage: check_msi.sh CPACK_CONFIG OPEN_WITH_SHELL_EXE RUNNER
set -u
config=$1 opener=$2 wine=$3 failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
work=$(mktemp -d --suffix=" my patches") && trap 'rm -rf "$work"' EXIT
# No desktop entries or MIME types for the Linux side.
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-};winemenubuilder.exe=d"
cpack --config "$config" -B "$work" >/dev/null || exit 1
windows() { local path=${1//\//\\}; echo "Z:$path"; }
msi=$(windows "$work"/*.msi) user=$WINEPREFIX/drive_c/users/$(id -un)
# The user's files, and the registry keys and values of Morvex, of the patch
# types and the classes key itself, each value after its hive and key, with
# single backslashes.
snapshot() {
    wineserver -w
    find "$user" | LC_ALL=C sort
    awk '/^\[/ {key = (FILENAME ~ /user/ ? "HKCU " : "HKLM ") $1
                kept = key ~ /Classes(\\\\(\.(ov|qj|t95|114|bop|202|xov)[]\\]|Morvex)|])/; if (kept) print key}
        /^[@"]/ && (kept || /Morvex/) {print key, $0}' \
        "$WINEPREFIX/user.reg" "$WINEPREFIX/system.reg" | sed 's/\\\\/\\/g'
}
# reg.exe once for each command given.
reg() { for key in "$@"; do "$wine" reg $key /f >/dev/null; done; }

"$wine" msiexec /x "$msi" /qn # left by a run that failed
reg "add HKLM\Software\Classes\.qj /ve /d Other.Patch" "add HKCU\Software\Classes\.bop /ve /d Other.Patch" \
    "add HKCU\Software\Classes\.t95 /ve"
before=$(snapshot)
"$wine" msiexec /i "$msi" /qn || fail "msiexec /i $msi"
installed=$(snapshot)
diff -r "$work"/_CPack_Packages/*/ZIP/*-win32 "$user/AppData/Local/Programs/Morvex" || fail "the installed files are not the zip's"
applier="C:\users\\$(id -un)\AppData\Local\Programs\Morvex\morvex-apply.exe"
while read -r line; do
    grep -qxF -- "$line" <<<"$installed" || fail "not installed: $line"
done <<EOF
$user/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/Morvex.lnk
$user/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/Morvex Apply.lnk
HKCU [Software\Classes\.ov] @="Morvex.Patch"
HKCU [Software\Classes\.xov] @="Morvex.Patch"
HKCU [Software\Classes\.bop] @="Other.Patch"
HKCU [Software\Classes\.bop\OpenWithProgids] "Morvex.Patch"=""
HKCU [Software\Classes\.t95] @="Morvex.Patch"
HKCU [Software\Classes\Morvex.Patch] @="Morvex patch"
HKCU [Software\Classes\Morvex.Patch\DefaultIcon] @="$applier,0"
HKCU [Software\Classes\Morvex.Patch\shell\open\command] @="\"$applier\" \"%1\""
EOF
grep -q '^HKCU \[Software\\Classes\\.qj\] @' <<<"$installed" && fail "took .qj over from another program"

printf 'GAME.EXE\0\0\0\0\0\1\0\0\0\0\0\1\252' >"$work/fix.ov"
printf '\0' >"$work/game.exe"
# Wine 8 leaves the user's classes out of the classes root the shell reads
# (Windows merges them in): the shell finds .ov once copied to the machine's.
reg "copy HKCU\Software\Classes\.ov HKLM\Software\Classes\.ov /s" \
    "copy HKCU\Software\Classes\Morvex.Patch HKLM\Software\Classes\Morvex.Patch /s"
# The applier's window opens only where Wine has a display.
if [ -n "${DISPLAY:-}" ]; then
    shown=$("$wine" "$opener" "$(windows "$work/fix.ov")" | tr -d '\r')
    [ "$shown" = "$applier"$'\n'"$(windows "$work/fix.ov")"$'\n'"$(windows "$work/game.exe")" ] ||
        fail "opening fix.ov showed: $shown"
fi
reg "delete HKLM\Software\Classes\.ov" "delete HKLM\Software\Classes\Morvex.Patch"

"$wine" msiexec /x "$msi" /qn || fail "msiexec /x $msi"
[ "$(snapshot)" = "$before" ] || fail "uninstalling left: $(diff <(echo "$before") <(snapshot))"

# Second round: the user's classes key there but empty, and kept so.
reg "delete HKLM\Software\Classes\.qj" "delete HKCU\Software\Classes\.bop" "delete HKCU\Software\Classes\.t95" \
    "delete HKCU\Software\Classes /va"
before=$(snapshot)
grep -q '^\[Software\\\\Classes\\\\' "$WINEPREFIX/user.reg" && fail "the user's classes key is not empty before the second round"
grep -qxF 'HKCU [Software\Classes]' <<<"$before" || fail "no user's classes key before the second round"
"$wine" msiexec /i "$msi" /qn || fail "msiexec /i $msi"
"$wine" msiexec /x "$msi" /qn || fail "msiexec /x $msi"
[ "$(snapshot)" = "$before" ] || fail "uninstalling left: $(diff <(echo "$before") <(snapshot))"
exit $((failures > 0))

#!/bin/bash
# The release packages hold exactly their files, the programs stripped, and
# lintian finds no error in the Debian package (an unstripped morvexc is one).
# Usage: check_dist.sh DIST_DIR VERSION
set -u
dist=$1 version=$2
zip=$dist/morvex-$version-win32.zip deb=$dist/morvexc_${version}_amd64.deb
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
same() { [ "$2" = "$3" ] || fail "$1: got '$2', want '$3'"; }

same "dist folder" "$(ls "$dist" | tr '\n' ' ')" "$(basename "$zip") $(basename "$deb") "
same "zip entries" "$(zipinfo -1 "$zip" | tr '\n' ' ')" "LICENSE.txt README.txt morvex.exe morvexc.exe "
same "deb files" "$(dpkg-deb -c "$deb" | awk '!/\/$/ {print $6}' | tr '\n' ' ')" \
    "./usr/bin/morvexc ./usr/share/doc/morvexc/changelog.gz ./usr/share/doc/morvexc/copyright ./usr/share/man/man1/morvexc.1.gz "
same "README.txt lines without CRLF" "$(unzip -p "$zip" README.txt | grep -c $'[^\r]$')" 0

unpacked=$(mktemp -d)
trap 'rm -rf "$unpacked"' EXIT
unzip -q "$zip" -d "$unpacked"
for exe in "$unpacked"/*.exe; do
    i686-w64-mingw32-nm "$exe" 2>&1 | grep -q 'no symbols' || fail "$(basename "$exe") is not stripped"
done
lintian --fail-on error "$deb" >/dev/null 2>&1 || fail "lintian: $(lintian "$deb" 2>&1 | grep '^E:')"
exit $((failures > 0))

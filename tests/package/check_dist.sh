#!/bin/bash
# The release packages hold exactly their files, with the modes, hardening and
# dependencies a distribution expects, and lintian finds nothing to warn about.
# Usage: check_dist.sh DIST_DIR VERSION
set -u
dist=$1 version=$2
zip=$dist/morvex-$version-win32.zip web=$dist/morvex-$version-web.zip deb=$dist/morvexc_${version}_amd64.deb msi=$dist/morvex-$version.msi
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
same() { [ "$2" = "$3" ] || fail "$1: got '$2', want '$3'"; }

same "dist folder" "$(LC_ALL=C ls "$dist" | grep -v '\.tar\.gz$' | tr '\n' ' ')" "$(basename "$web") $(basename "$zip") $(basename "$msi") $(basename "$deb") "
same "zip entries" "$(zipinfo -1 "$zip" | tr '\n' ' ')" "LICENSE.txt README.txt morvex-apply.exe morvex.exe morvexc.exe "
same "web zip entries" "$(zipinfo -1 "$web" | tr '\n' ' ')" "LICENSE.txt README.txt index.html "
same "deb files" "$(dpkg-deb -c "$deb" | awk '!/\/$/ {print $6}' | tr '\n' ' ')" \
    "./usr/bin/morvexc ./usr/share/bash-completion/completions/morvexc ./usr/share/doc/morvexc/changelog.gz ./usr/share/doc/morvexc/copyright ./usr/share/man/man1/morvexc.1.gz "
same "deb entries of other modes" "$(dpkg-deb -c "$deb" | awk '$1 !~ /^(drwxr-xr-x|-rw-r--r--|-rwxr-xr-x)$/')" ""
same "README.txt lines without CRLF" "$(unzip -p "$zip" README.txt | grep -c $'[^\r]$')" 0

unpacked=$(mktemp -d)
trap 'rm -rf "$unpacked"' EXIT
unzip -q "$zip" -d "$unpacked"
msiextract -C "$unpacked/msi" "$msi" >/dev/null &&
    diff -r --exclude=msi "$unpacked" "$unpacked/msi/Programs/Morvex" || fail "the installer's files are not the zip's"
for exe in "$unpacked"/*.exe; do
    name=$(basename "$exe") header=$(i686-w64-mingw32-objdump -p "$exe")
    i686-w64-mingw32-nm "$exe" 2>&1 | grep -q 'no symbols' || fail "$name is not stripped"
    for want in 'Magic.*(PE32)$' DYNAMIC_BASE NX_COMPAT; do
        grep -q "$want" <<<"$header" || fail "$name: no $want in its header"
    done
    grep -q 'stack smashing detected' "$exe" || fail "$name has no stack protector"
done

dpkg-deb -x "$deb" "$unpacked/deb"
elf=$unpacked/deb/usr/bin/morvexc
readelf -d "$elf" | grep -q 'FLAGS.*BIND_NOW' || fail "morvexc is not linked with -z now"
readelf -h "$elf" | grep -q 'Type:.*DYN' || fail "morvexc is not position independent"
readelf --dyn-syms -W "$elf" | grep -q '__[a-z]*_chk' || fail "morvexc calls no fortified function"
mkdir "$unpacked/debian" && touch "$unpacked/debian/control"
needs=$(cd "$unpacked" && dpkg-shlibdeps -O "$elf" 2>/dev/null | sed -n 's/^shlibs:Depends=//p')
same "Depends" "$(dpkg-deb -f "$deb" Depends)" "$needs"
lintian --fail-on warning,info,pedantic -I --pedantic "$deb" >/dev/null 2>&1 ||
    fail "lintian: $(lintian -I --pedantic "$deb" 2>&1 | grep -v "^running with root")"
exit $((failures > 0))

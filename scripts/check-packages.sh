#!/bin/sh
# check-packages.sh: checks what scripts/package.sh left in dist/. The .deb: lintian finds no
# error; installed (as root, else unpacked in a scratch folder) it converts as the build does
# and has its man page and completion; removed, it leaves nothing. The zip: the files named,
# the texts with CR LF, only system DLLs imported, and both programs run under Wine (inside a
# session of scripts/wine-session.sh, which it starts when needed).
set -eu

root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
if [ -z "${RASTELLE_WINE_SESSION:-}" ]; then
    exec sh scripts/wine-session.sh sh "$0" "$@"
fi
version=$(sed -n 's/^project(Rastelle VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
deb=$(ls dist/rastelle-cli_"$version"_*.deb)
zip=dist/Rastelle-$version-win32.zip
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() {
    echo "check-packages.sh: $*" >&2
    exit 1
}
# The text every build must give for the sample, made by the host build being packaged.
build/package/rastelle-cli docs/ghost.bmp >"$work/expected.asm"
[ -s "$work/expected.asm" ] || fail "the host build gave no text"

echo "== $deb"
lintian --fail-on error "$deb" || fail "lintian found errors"
if [ "$(id -u)" -eq 0 ]; then
    dpkg -i "$deb" >/dev/null
    [ "$(rastelle-cli --version)" = "rastelle-cli $version" ] || fail "wrong --version"
    man -w rastelle-cli >/dev/null || fail "man -w finds no page"
    rastelle-cli docs/ghost.bmp | cmp -s - "$work/expected.asm" || fail "installed text differs"
    [ -f /usr/share/bash-completion/completions/rastelle-cli ] || fail "no completion"
    dpkg-deb -c "$deb" | awk '{ print substr($6, 2) }' >"$work/files"
    dpkg -r rastelle-cli >/dev/null
    # Only folders the system holds anyway (/usr/share/man...) may stay.
    while read -r file; do
        case $file in
            *rastelle*) [ ! -e "$file" ] || fail "dpkg -r left $file" ;;
        esac
    done <"$work/files"
else
    echo "not root: unpacking instead of installing"
    dpkg-deb -x "$deb" "$work/root"
    "$work/root/usr/bin/rastelle-cli" docs/ghost.bmp | cmp -s - "$work/expected.asm" ||
        fail "unpacked text differs"
fi

echo "== $zip"
unzip -q "$zip" -d "$work/zip"
folder=$work/zip/Rastelle-$version-win32
[ "$(cd "$folder" && ls | tr '\n' ' ')" = "LICENSE.txt README.txt Rastelle.exe THIRD-PARTY.txt rastelle-cli.exe " ] ||
    fail "unexpected files: $(ls "$folder")"
for text in README.txt LICENSE.txt THIRD-PARTY.txt; do
    awk '!/\r$/ { bad = 1 } END { exit bad }' "$folder/$text" ||
        fail "$text does not end every line with CR LF"
done
for program in Rastelle.exe rastelle-cli.exe; do
    i686-w64-mingw32-objdump -p "$folder/$program" | sed -n 's/^\tDLL Name: //p' | tr 'A-Z' 'a-z' |
        while read -r dll; do
            case $dll in
                kernel32.dll | user32.dll | gdi32.dll | comctl32.dll | comdlg32.dll | shell32.dll | msvcrt.dll | advapi32.dll) ;;
                *) fail "$program imports $dll, not a system DLL" ;;
            esac
        done
done
cp docs/ghost.bmp "$work/zip/"
(cd "$work/zip" && wine "$folder/rastelle-cli.exe" ghost.bmp >"$work/windows.asm" </dev/null)
cmp "$work/windows.asm" "$work/expected.asm" || fail "rastelle-cli.exe gives other bytes"
wine "$folder/Rastelle.exe" </dev/null >/dev/null 2>&1 &
program=$!
tries=0
until xwininfo -name Rastelle 2>/dev/null | grep -q IsViewable; do
    tries=$((tries + 1))
    [ "$tries" -lt 300 ] || fail "no Rastelle window after a minute"
    sleep 0.2
done
kill "$program" 2>/dev/null || true
echo "packages checked"

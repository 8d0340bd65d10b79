#!/bin/sh
# check-packages.sh: checks what scripts/package.sh left in dist/. The .deb: lintian finds no
# error; installed (as root, else unpacked in a scratch folder) it converts as the build does
# and has its man page, completion, README and docs; removed, it leaves nothing. Each Windows
# zip (64 and 32 bits): the files named, the texts (README, docs/, licences) with CR LF and
# links to the .txt files beside them, only system DLLs imported, and both programs
# run under Wine in a session of scripts/wine-session.sh; the 32-bit ones only where this
# machine runs 32-bit code (said in one line where it doesn't). The web page's zip: one folder
# holding web/page/'s files, the module, the README and docs/, its index.html loading nothing
# from another site.
#
# check-packages.sh --run FOLDER EXPECTED is the part that runs inside a session: it starts
# the zip's two programs from FOLDER.
set -eu

root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
. cmake/wine-loader.sh
fail() {
    echo "check-packages.sh: $*" >&2
    exit 1
}

if [ "${1:-}" = "--run" ]; then
    folder=$2
    expected=$3
    cp docs/ghost.bmp "$folder/../"
    (cd "$folder/.." && "$WINELOADER" "$folder/rastelle-cli.exe" ghost.bmp >"$folder/../windows.asm" </dev/null)
    cmp "$folder/../windows.asm" "$expected" || fail "$folder/rastelle-cli.exe gives other bytes"
    "$WINELOADER" "$folder/Rastelle.exe" </dev/null >/dev/null 2>&1 &
    program=$!
    tries=0
    until xwininfo -name Rastelle 2>/dev/null | grep -q IsViewable; do
        tries=$((tries + 1))
        [ "$tries" -lt 300 ] || fail "no Rastelle window from $folder after a minute"
        sleep 0.2
    done
    kill "$program" 2>/dev/null || true
    exit 0
fi

version=$(sed -n 's/^project(Rastelle VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
deb=$(ls dist/rastelle-cli_"$version"_*.deb)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# docs/*.md and the screenshots as they ship in the zips, and a check that FOLDER holds them
# and README.txt, with no link left to a .md file.
docs_txt=$(cd docs && ls *.md *.png | sed 's/\.md$/.txt/' | sort | tr '\n' ' ')
check_docs() {
    [ "$(cd "$1/docs" && ls | tr '\n' ' ')" = "$docs_txt" ] ||
        fail "$2 holds docs/$(cd "$1/docs" && ls | tr '\n' ' '), not $docs_txt"
    ! grep -n '](\([^)]*\)\.md[#)]' "$1/README.txt" "$1"/docs/*.txt || fail "$2 links to .md files"
}
# The README, docs/*.md and the screenshots as they are, under ROOT/usr/share/doc/rastelle.
deb_docs() {
    for doc in README.md docs/*.md docs/*.png; do
        cmp -s "$doc" "$1/usr/share/doc/rastelle/$doc" || fail "the .deb lacks $doc as it is"
    done
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
    deb_docs ""
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
    deb_docs "$work/root"
fi

for bits in 64 32; do
    name=Rastelle-$version-win$bits
    zip=dist/$name.zip
    echo "== $zip"
    unzip -q "$zip" -d "$work/zip$bits"
    folder=$work/zip$bits/$name
    [ "$(cd "$folder" && ls | tr '\n' ' ')" = "LICENSE.txt README.txt Rastelle.exe THIRD-PARTY.txt docs rastelle-cli.exe " ] ||
        fail "unexpected files in $zip: $(ls "$folder")"
    check_docs "$folder" "$zip"
    for text in README.txt LICENSE.txt THIRD-PARTY.txt $(cd "$folder" && ls docs/*.txt); do
        awk '!/\r$/ { bad = 1 } END { exit bad }' "$folder/$text" ||
            fail "$text does not end every line with CR LF"
    done
    if [ "$bits" = 64 ]; then objdump=x86_64-w64-mingw32-objdump; else objdump=i686-w64-mingw32-objdump; fi
    for program in Rastelle.exe rastelle-cli.exe; do
        case $("$objdump" -f "$folder/$program" | sed -n 's/.*file format //p') in
            pei-x86-64) [ "$bits" = 64 ] || fail "$zip holds a 64-bit $program" ;;
            pei-i386) [ "$bits" = 32 ] || fail "$zip holds a 32-bit $program" ;;
            *) fail "$zip: $program is not a Windows program" ;;
        esac
        "$objdump" -p "$folder/$program" | sed -n 's/^\tDLL Name: //p' | tr 'A-Z' 'a-z' |
            while read -r dll; do
                case $dll in
                    kernel32.dll | user32.dll | gdi32.dll | comctl32.dll | comdlg32.dll | shell32.dll | msvcrt.dll | advapi32.dll) ;;
                    *) fail "$program imports $dll, not a system DLL" ;;
                esac
            done
    done
    no_32bit=
    [ "$bits" = 32 ] && no_32bit=$(rastelle_no_32bit_reason)
    if [ -n "$no_32bit" ]; then
        echo "check-packages.sh: the programs of $zip were checked but not run: $no_32bit."
    else
        WINEPREFIX="$root/$(rastelle_windows_build "$bits")/wineprefix" \
            sh scripts/wine-session.sh --bits "$bits" sh "$0" --run "$folder" "$work/expected.asm"
    fi
done
zip=dist/rastelle-web-$version.zip
echo "== $zip"
unzip -q "$zip" -d "$work/web"
folder=$work/web/rastelle-web-$version
expected=$( (ls web/page 2>/dev/null || true; printf '%s\n' index.html rastelle.js rastelle-source.js \
    LICENSE.txt THIRD-PARTY.txt README.txt docs) |
    sort -u | tr '\n' ' ')
[ "$(cd "$folder" && ls | sort | tr '\n' ' ')" = "$expected" ] ||
    fail "unexpected files in $zip: $(ls "$folder" | tr '\n' ' '), not $expected"
[ -f "$folder/index.html" ] || fail "$zip has no index.html"
check_docs "$folder" "$zip"
# src, href, url() or import naming a scheme or a host (//...): another site.
if grep -Eiq '(src|href|action)[[:space:]]*=[[:space:]]*["'"'"']?([a-z]+:|//)|url\([[:space:]]*["'"'"']?([a-z]+:|//)|import[^;]*["'"'"'](https?:)?//' \
    "$folder/index.html"; then
    fail "$zip: index.html loads from another site"
fi
echo "packages checked"

#!/bin/sh
# Makes every release artefact in dist/: rastelle-cli_VERSION_ARCH.deb (the command-line tool,
# its man page and completion, through CPack), Rastelle-VERSION-win64.zip and
# Rastelle-VERSION-win32.zip (both Windows programs of each build and the texts, with CR LF:
# the README, docs/ and the licences), rastelle-web-VERSION.zip (the web page's folder:
# web/page/ with the module beside it, the README, docs/ and the licence texts).
# scripts/check-packages.sh checks them.
set -eu

root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
version=$(sed -n 's/^project(Rastelle VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
rm -rf dist build/package/cpack
mkdir -p dist

cmake --preset package
cmake --build --preset package
cpack --config build/package/CPackConfig.cmake -B build/package/cpack
cp build/package/cpack/rastelle-cli_"$version"_*.deb dist/

# The README and docs/*.md as README.txt and docs/*.txt in FOLDER, their links to .md files
# and LICENSE pointing at the .txt ones beside them, each line then edited by the sed
# expression given; the screenshots they show go beside them.
ship_docs() {
    mkdir -p "$1/docs"
    cp docs/*.png "$1/docs/"
    for doc in README.md docs/*.md; do
        sed -e 's/\(]([^)]*\)\.md\([#)]\)/\1.txt\2/g' -e 's/](LICENSE)/](LICENSE.txt)/g' -e "$2" \
            "$doc" >"$1/${doc%.md}.txt"
    done
}

# preset, build folder, the zip's suffix and the tools' prefix, one build a line.
while read -r preset folder suffix triplet; do
    cmake --preset "$preset"
    cmake --build --preset "$preset" --target Rastelle rastelle-cli
    name=Rastelle-$version-$suffix
    stage=$folder/zip/$name
    rm -rf "$stage"
    mkdir -p "$stage"
    for program in Rastelle rastelle-cli; do
        "$triplet-strip" -o "$stage/$program.exe" "$folder/$program.exe"
    done
    # Notepad on older Windows shows a text with LF line ends as one line.
    for text in LICENSE:LICENSE.txt THIRD-PARTY.md:THIRD-PARTY.txt; do
        sed 's/\r*$/\r/' "${text%%:*}" >"$stage/${text#*:}"
    done
    ship_docs "$stage" 's/\r*$/\r/'
    (cd "$folder/zip" && rm -f "$name.zip" && zip -qrX "$name.zip" "$name")
    mv "$folder/zip/$name.zip" dist/
done <<'BUILDS'
windows64 build/windows64 win64 x86_64-w64-mingw32
windows build/windows win32 i686-w64-mingw32
BUILDS
# The page as the web build lays it out, in one folder.
cmake --preset web
cmake --build --preset web --target rastelle-page
name=rastelle-web-$version
rm -rf build/web/zip
mkdir -p build/web/zip
cp -r build/web/web/page "build/web/zip/$name"
cp LICENSE "build/web/zip/$name/LICENSE.txt"
cp THIRD-PARTY.md "build/web/zip/$name/THIRD-PARTY.txt"
ship_docs "build/web/zip/$name" ''
(cd build/web/zip && zip -qrX "$name.zip" "$name")
mv "build/web/zip/$name.zip" dist/
ls -l dist

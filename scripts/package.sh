#!/bin/sh
# Makes every release artefact in dist/: rastelle-cli_VERSION_ARCH.deb (the command-line tool,
# its man page and completion, through CPack) and Rastelle-VERSION-win32.zip (both Windows
# programs and the texts, with CR LF). scripts/check-packages.sh checks them.
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

cmake --preset windows
cmake --build --preset windows --target Rastelle rastelle-cli
name=Rastelle-$version-win32
stage=build/windows/zip/$name
rm -rf "$stage"
mkdir -p "$stage"
for program in Rastelle rastelle-cli; do
    i686-w64-mingw32-strip -o "$stage/$program.exe" "build/windows/$program.exe"
done
# Notepad on older Windows shows a text with LF line ends as one line.
for text in README.md:README.txt LICENSE:LICENSE.txt THIRD-PARTY.md:THIRD-PARTY.txt; do
    sed 's/\r*$/\r/' "${text%%:*}" >"$stage/${text#*:}"
done
(cd build/windows/zip && rm -f "$name.zip" && zip -qrX "$name.zip" "$name")
mv "build/windows/zip/$name.zip" dist/
ls -l dist

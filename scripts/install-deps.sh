#!/bin/sh
# install-deps.sh [--native] [--windows] [--web] [--cli] [--check]
#
# Installs what building and testing Rastelle need on Debian 12: --native the host tools,
# --windows the mingw-w64 cross compilers (64 and 32 bits), Wine and Xvfb; --web emscripten,
# libjpeg-turbo built for wasm, Chromium and the page's npm packages; --cli only what building
# rastelle-cli needs; --native, --windows and --web when none is given.
# Nothing is installed when everything is there already. --check only reports what is missing
# (status 1 when something is). Installing needs root.
#
# Other scripts may source this file and call rastelle_install_deps with the same options.

# The assemblers check the command-line tool's text in every syntax; cjpeg and djpeg
# (libjpeg-turbo-progs) make and check the JPEG tests' samples, ImageMagick and netpbm the PNM
# tests' files; mandoc checks the man page,
# lintian the Debian package, zip and unzip make and check the Windows zip.
RASTELLE_NATIVE_PACKAGES="cmake ninja-build g++ clang libgtest-dev googletest libbenchmark-dev
libclang-rt-14-dev imagemagick netpbm python3 python3-pil libstb-dev libjpeg62-turbo-dev libjpeg-turbo-progs
binutils-z80 z80asm nasm cc65 acme as31 xa65 pasmo mandoc lintian zip unzip"
# Enough to build rastelle-cli alone (scripts/run.sh without a display).
RASTELLE_CLI_PACKAGES="cmake ninja-build g++ libstb-dev libjpeg62-turbo-dev"
# wine64 runs the 64-bit programs on every machine; fonts-wine holds Marlett (the caption
# buttons); x11-utils, imagemagick and xdotool take the screenshots. dpkg-dev and nasm fetch and
# build libjpeg-turbo for Windows (below); the tests make their JPEGs with its tools.
RASTELLE_WINDOWS_PACKAGES="cmake ninja-build googletest g++-mingw-w64-i686 g++-mingw-w64-x86-64
wine wine64 fonts-wine xvfb x11-utils imagemagick xdotool libstb-dev dpkg-dev nasm
libjpeg-turbo-progs"
# The web build: emscripten compiles the engine, node runs its tests, Chromium the page's.
RASTELLE_WEB_PACKAGES="cmake ninja-build emscripten nodejs chromium libstb-dev dpkg-dev"
RASTELLE_WASM_JPEG_PREFIX=/opt/rastelle/wasm-libjpeg-turbo

# Only where the kernel runs 32-bit code: the 32-bit loader, and libfreetype6:i386, without
# which 32-bit Wine draws no TrueType at all.
RASTELLE_WINDOWS_32BIT_PACKAGES="wine32:i386 libfreetype6:i386"

# Debian ships libjpeg-turbo for Linux only: the Windows builds link a static copy built here
# from Debian's source package, the same version as the host's, one per architecture. The
# windows and windows64 presets look here.
RASTELLE_MINGW_JPEG_PREFIX=/opt/rastelle/mingw-libjpeg-turbo
RASTELLE_MINGW64_JPEG_PREFIX=/opt/rastelle/mingw64-libjpeg-turbo

# rastelle_kernel_runs_i386; found beside the running script, which is in scripts/ whether
# this file is run or sourced.
. "$(dirname "$0")/../cmake/wine-loader.sh"
RASTELLE_TOP=$(cd "$(dirname "$0")/.." && pwd)

rastelle_missing_packages() {
    for package in "$@"; do
        if ! dpkg -s "$package" >/dev/null 2>&1; then
            printf '%s\n' "$package"
        fi
    done
}

# The version of Debian's source package, which the built copy records beside itself.
rastelle_mingw_jpeg_wanted() {
    apt-cache showsrc libjpeg-turbo 2>/dev/null | sed -n 's/^Version: //p' | sort -V | tail -n 1
}

# rastelle_mingw_jpeg_missing PREFIX
rastelle_mingw_jpeg_missing() {
    stamp="$1/debian-version"
    [ -f "$1/lib/libjpeg.a" ] && [ -f "$stamp" ] || return 0
    wanted_version=$(rastelle_mingw_jpeg_wanted)
    # Without source lines apt knows no version: keep what is built.
    [ -n "$wanted_version" ] && [ "$(cat "$stamp")" != "$wanted_version" ]
}

# rastelle_build_mingw_jpeg PROCESSOR TRIPLET PREFIX
rastelle_build_mingw_jpeg() {
    # Static, no TurboJPEG API, SIMD through nasm; only what libjpeg's decoder needs.
    rastelle_build_jpeg "Windows ($1)" "$3" cmake -DCMAKE_SYSTEM_NAME=Windows \
        -DCMAKE_SYSTEM_PROCESSOR="$1" -DCMAKE_C_COMPILER="$2-gcc-posix" \
        -DCMAKE_RC_COMPILER="$2-windres" -DWITH_SIMD=ON -DREQUIRE_SIMD=ON
}

# rastelle_build_wasm_jpeg: the library has no SIMD path for wasm. Its configure checks run
# under node, which rejects the flag emcmake would hand it otherwise; a node with fetch would
# try to fetch the checks' .wasm files as addresses and fail every check.
rastelle_build_wasm_jpeg() {
    rastelle_build_jpeg wasm "$RASTELLE_WASM_JPEG_PREFIX" emcmake cmake -DWITH_SIMD=OFF \
        "-DCMAKE_CROSSCOMPILING_EMULATOR=$(command -v node);$(rastelle_node_without_fetch)"
}

# The option that keeps node from using fetch for emscripten's files (empty where node has none).
rastelle_node_without_fetch() {
    if node --no-experimental-fetch -e '' 2>/dev/null; then
        echo --no-experimental-fetch
    fi
}

# rastelle_build_jpeg WHAT PREFIX CONFIGURE...: libjpeg-turbo from Debian's source package,
# static, without the TurboJPEG API, configured by the command given.
rastelle_build_jpeg() {
    what=$1
    prefix=$2
    shift 2
    if ! grep -rqsE '^(deb-src|Types:.*deb-src)' /etc/apt/sources.list /etc/apt/sources.list.d/; then
        # The first archive the machine uses, with its own options (Signed-By), as sources.
        if [ -f /etc/apt/sources.list.d/debian.sources ]; then
            sed -n '1,/^$/p' /etc/apt/sources.list.d/debian.sources |
                sed 's/^Types:.*/Types: deb-src/' >/etc/apt/sources.list.d/rastelle-deb-src.sources
        else
            grep -m 1 '^deb ' /etc/apt/sources.list | sed 's/^deb /deb-src /' \
                >/etc/apt/sources.list.d/rastelle-deb-src.list
        fi
        apt-get update
    fi
    work=$(mktemp -d "${TMPDIR:-/tmp}/rastelle-libjpeg.XXXXXX")
    started=$(date +%s)
    # Each step checked: set -e does not hold in a function whose caller tests its result.
    (
        cd "$work" &&
            apt-get source --download-only libjpeg-turbo >/dev/null &&
            dpkg-source --no-check -x ./libjpeg-turbo_*.dsc source >/dev/null &&
            version=$(dpkg-parsechangelog -l source/debian/changelog -S Version) &&
            "$@" -S source -B build -G Ninja -DCMAKE_BUILD_TYPE=Release \
                -DCMAKE_INSTALL_PREFIX="$prefix" \
                -DENABLE_SHARED=OFF -DENABLE_STATIC=ON -DWITH_TURBOJPEG=OFF >/dev/null &&
            cmake --build build --target jpeg-static >/dev/null &&
            rm -rf "$prefix" &&
            mkdir -p "$prefix/lib" "$prefix/include" &&
            cp build/libjpeg.a "$prefix/lib/" &&
            cp build/jconfig.h source/jpeglib.h source/jmorecfg.h source/jerror.h "$prefix/include/" &&
            echo "$version" >"$prefix/debian-version"
    )
    result=$?
    rm -rf "$work"
    if [ "$result" -ne 0 ]; then
        echo "install-deps.sh: building libjpeg-turbo for $what failed" >&2
        return 1
    fi
    echo "Built libjpeg-turbo for $what in $(($(date +%s) - started)) s: $prefix"
}

# Builds each architecture's copy that is missing or out of date.
rastelle_build_mingw_jpegs() {
    if rastelle_mingw_jpeg_missing "$RASTELLE_MINGW_JPEG_PREFIX"; then
        rastelle_build_mingw_jpeg i686 i686-w64-mingw32 "$RASTELLE_MINGW_JPEG_PREFIX" || return 1
    fi
    if rastelle_mingw_jpeg_missing "$RASTELLE_MINGW64_JPEG_PREFIX"; then
        rastelle_build_mingw_jpeg x86_64 x86_64-w64-mingw32 "$RASTELLE_MINGW64_JPEG_PREFIX" || return 1
    fi
}

rastelle_install_deps() {
    want_native=
    want_windows=
    want_cli=
    want_web=
    check_only=
    for option in "$@"; do
        case $option in
            --native) want_native=1 ;;
            --windows) want_windows=1 ;;
            --cli) want_cli=1 ;;
            --web) want_web=1 ;;
            --check) check_only=1 ;;
            *)
                echo "install-deps.sh: unknown option $option" >&2
                return 2
                ;;
        esac
    done
    if [ -z "$want_native" ] && [ -z "$want_windows" ] && [ -z "$want_cli" ] &&
        [ -z "$want_web" ]; then
        want_native=1
        want_windows=1
        want_web=1
    fi

    wanted=
    [ -n "$want_native" ] && wanted="$wanted $RASTELLE_NATIVE_PACKAGES"
    if [ -n "$want_windows" ]; then
        wanted="$wanted $RASTELLE_WINDOWS_PACKAGES"
        # The kernel decides here, not RASTELLE_ONLY_64BIT: the switch only changes what runs.
        if rastelle_kernel_runs_i386; then
            wanted="$wanted $RASTELLE_WINDOWS_32BIT_PACKAGES"
        fi
    fi
    [ -n "$want_cli" ] && wanted="$wanted $RASTELLE_CLI_PACKAGES"
    [ -n "$want_web" ] && wanted="$wanted $RASTELLE_WEB_PACKAGES"
    # shellcheck disable=SC2086 # word splitting wanted
    missing=$(rastelle_missing_packages $wanted | sort -u | tr '\n' ' ')
    # npm comes with some builds of nodejs, in a package of its own with Debian's.
    if [ -n "$want_web" ] && ! command -v npm >/dev/null; then
        missing="${missing}npm "
    fi
    jpeg_missing=
    if [ -n "$want_windows" ] && { rastelle_mingw_jpeg_missing "$RASTELLE_MINGW_JPEG_PREFIX" ||
        rastelle_mingw_jpeg_missing "$RASTELLE_MINGW64_JPEG_PREFIX"; }; then
        jpeg_missing=1
    fi
    if [ -n "$want_web" ] && rastelle_mingw_jpeg_missing "$RASTELLE_WASM_JPEG_PREFIX"; then
        jpeg_missing=1
    fi
    npm_missing=
    [ -n "$want_web" ] && rastelle_npm_missing && npm_missing=1
    if [ -z "$missing" ] && [ -z "$jpeg_missing" ] && [ -z "$npm_missing" ]; then
        return 0
    fi
    if [ -n "$check_only" ]; then
        [ -n "$missing" ] && echo "Missing packages: $missing"
        [ -n "$jpeg_missing" ] && echo "Missing: libjpeg-turbo for Windows or wasm in /opt/rastelle"
        [ -n "$npm_missing" ] && echo "Missing: the page's npm packages (npm ci)"
        return 1
    fi
    if [ "$(id -u)" -ne 0 ]; then
        [ -n "$missing" ] && echo "install-deps.sh: missing packages: $missing" >&2
        [ -n "$jpeg_missing" ] && echo "install-deps.sh: missing libjpeg-turbo for Windows or wasm" >&2
        [ -n "$npm_missing" ] && echo "install-deps.sh: missing the page's npm packages" >&2
        echo "Run this script as root (e.g. sudo $0) to install them." >&2
        return 1
    fi
    if [ -n "$missing" ]; then
        rastelle_apt_install "$missing" || return 1
    fi
    if [ -n "$jpeg_missing" ]; then
        if [ -n "$want_windows" ]; then
            rastelle_build_mingw_jpegs || return 1
        fi
        if [ -n "$want_web" ] && rastelle_mingw_jpeg_missing "$RASTELLE_WASM_JPEG_PREFIX"; then
            rastelle_build_wasm_jpeg || return 1
        fi
    fi
    if [ -n "$npm_missing" ]; then
        (cd "$RASTELLE_TOP" && npm ci --no-audit --no-fund) || return 1
    fi
}

# The page's tests' packages, pinned by package-lock.json at the top, when it exists.
rastelle_npm_missing() {
    [ -f "$RASTELLE_TOP/package-lock.json" ] &&
        ! [ "$RASTELLE_TOP/node_modules/.package-lock.json" -nt "$RASTELLE_TOP/package-lock.json" ]
}

# rastelle_apt_install "PACKAGES"
rastelle_apt_install() {
    missing=$1

    echo "Installing: $missing"
    if case $missing in *:i386*) true ;; *) false ;; esac &&
        ! dpkg --print-foreign-architectures | grep -qx i386; then
        dpkg --add-architecture i386
    fi
    export DEBIAN_FRONTEND=noninteractive
    apt-get update
    # With recommends: Wine's X11 driver's libraries (libxrender1 and others) come only that
    # way. wine32 is named explicitly because nothing depends on it.
    # shellcheck disable=SC2086
    apt-get install -y $missing
}

# Run directly (not sourced): install and exit with the result.
case ${0##*/} in
    install-deps.sh) rastelle_install_deps "$@" ;;
esac

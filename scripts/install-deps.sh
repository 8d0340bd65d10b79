#!/bin/sh
# install-deps.sh [--native] [--windows] [--cli] [--check]
#
# Installs what building and testing Rastelle need on Debian 12: --native the host tools,
# --windows the mingw-w64 cross compilers (64 and 32 bits), Wine and Xvfb; --cli only what building
# rastelle-cli needs; --native and --windows when none is given.
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
    processor=$1
    triplet=$2
    prefix=$3
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
    (
        set -e
        cd "$work"
        apt-get source --download-only libjpeg-turbo >/dev/null
        dpkg-source --no-check -x ./libjpeg-turbo_*.dsc source >/dev/null
        version=$(dpkg-parsechangelog -l source/debian/changelog -S Version)
        # Static, no TurboJPEG API, SIMD through nasm; only what libjpeg's decoder needs.
        cmake -S source -B build -G Ninja -DCMAKE_BUILD_TYPE=Release \
            -DCMAKE_SYSTEM_NAME=Windows -DCMAKE_SYSTEM_PROCESSOR="$processor" \
            -DCMAKE_C_COMPILER="$triplet-gcc-posix" \
            -DCMAKE_RC_COMPILER="$triplet-windres" \
            -DCMAKE_INSTALL_PREFIX="$prefix" \
            -DENABLE_SHARED=OFF -DENABLE_STATIC=ON -DWITH_TURBOJPEG=OFF -DWITH_SIMD=ON \
            -DREQUIRE_SIMD=ON >/dev/null
        cmake --build build --target jpeg-static >/dev/null
        rm -rf "$prefix"
        mkdir -p "$prefix/lib" "$prefix/include"
        cp build/libjpeg.a "$prefix/lib/"
        cp build/jconfig.h source/jpeglib.h source/jmorecfg.h source/jerror.h "$prefix/include/"
        echo "$version" >"$prefix/debian-version"
    )
    result=$?
    rm -rf "$work"
    if [ "$result" -ne 0 ]; then
        echo "install-deps.sh: building libjpeg-turbo for Windows ($processor) failed" >&2
        return 1
    fi
    echo "Built libjpeg-turbo for Windows ($processor) in $(($(date +%s) - started)) s: $prefix"
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
    check_only=
    for option in "$@"; do
        case $option in
            --native) want_native=1 ;;
            --windows) want_windows=1 ;;
            --cli) want_cli=1 ;;
            --check) check_only=1 ;;
            *)
                echo "install-deps.sh: unknown option $option" >&2
                return 2
                ;;
        esac
    done
    if [ -z "$want_native" ] && [ -z "$want_windows" ] && [ -z "$want_cli" ]; then
        want_native=1
        want_windows=1
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
    # shellcheck disable=SC2086 # word splitting wanted
    missing=$(rastelle_missing_packages $wanted | sort -u | tr '\n' ' ')
    jpeg_missing=
    if [ -n "$want_windows" ] && { rastelle_mingw_jpeg_missing "$RASTELLE_MINGW_JPEG_PREFIX" ||
        rastelle_mingw_jpeg_missing "$RASTELLE_MINGW64_JPEG_PREFIX"; }; then
        jpeg_missing=1
    fi
    if [ -z "$missing" ] && [ -z "$jpeg_missing" ]; then
        return 0
    fi
    if [ -n "$check_only" ]; then
        [ -n "$missing" ] && echo "Missing packages: $missing"
        [ -n "$jpeg_missing" ] && echo "Missing: libjpeg-turbo for Windows in /opt/rastelle"
        return 1
    fi
    if [ "$(id -u)" -ne 0 ]; then
        [ -n "$missing" ] && echo "install-deps.sh: missing packages: $missing" >&2
        [ -n "$jpeg_missing" ] && echo "install-deps.sh: missing libjpeg-turbo for Windows" >&2
        echo "Run this script as root (e.g. sudo $0) to install them." >&2
        return 1
    fi
    if [ -z "$missing" ]; then
        rastelle_build_mingw_jpegs
        return
    fi

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
    apt-get install -y $missing || return 1
    if [ -n "$jpeg_missing" ]; then
        rastelle_build_mingw_jpegs
    fi
}

# Run directly (not sourced): install and exit with the result.
case ${0##*/} in
    install-deps.sh) rastelle_install_deps "$@" ;;
esac

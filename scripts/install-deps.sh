#!/bin/sh
# install-deps.sh [--native] [--windows] [--cli] [--check]
#
# Installs what building and testing Rastelle need on Debian 12: --native the host tools,
# --windows the mingw-w64 cross compiler, Wine (32-bit) and Xvfb; --cli only what building
# rastelle-cli needs; --native and --windows when none is given.
# Nothing is installed when everything is there already. --check only reports what is missing
# (status 1 when something is). Installing needs root.
#
# Other scripts may source this file and call rastelle_install_deps with the same options.

# The assemblers check the command-line tool's text in every syntax; mandoc checks its man
# page, lintian its Debian package, zip and unzip make and check the Windows zip.
RASTELLE_NATIVE_PACKAGES="cmake ninja-build g++ clang libgtest-dev googletest libbenchmark-dev
libclang-rt-14-dev imagemagick python3 libstb-dev binutils-z80 z80asm nasm cc65 acme as31 xa65
pasmo mandoc lintian zip unzip"
# fonts-wine holds Marlett (the caption buttons) and libfreetype6:i386 lets 32-bit Wine draw
# TrueType at all; x11-utils, imagemagick and xdotool take the screenshots.
# Enough to build rastelle-cli alone (scripts/run.sh without a display).
RASTELLE_CLI_PACKAGES="cmake ninja-build g++ libstb-dev"
RASTELLE_WINDOWS_PACKAGES="cmake ninja-build googletest g++-mingw-w64-i686 wine wine32:i386
libfreetype6:i386 fonts-wine xvfb x11-utils imagemagick xdotool libstb-dev"

rastelle_missing_packages() {
    for package in "$@"; do
        if ! dpkg -s "$package" >/dev/null 2>&1; then
            printf '%s\n' "$package"
        fi
    done
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
    [ -n "$want_windows" ] && wanted="$wanted $RASTELLE_WINDOWS_PACKAGES"
    [ -n "$want_cli" ] && wanted="$wanted $RASTELLE_CLI_PACKAGES"
    # shellcheck disable=SC2086 # word splitting wanted
    missing=$(rastelle_missing_packages $wanted | sort -u | tr '\n' ' ')
    if [ -z "$missing" ]; then
        return 0
    fi
    if [ -n "$check_only" ]; then
        echo "Missing packages: $missing"
        return 1
    fi
    if [ "$(id -u)" -ne 0 ]; then
        echo "install-deps.sh: missing packages: $missing" >&2
        echo "Run this script as root (e.g. sudo $0) to install them." >&2
        return 1
    fi

    echo "Installing: $missing"
    if [ -n "$want_windows" ] && ! dpkg --print-foreign-architectures | grep -qx i386; then
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

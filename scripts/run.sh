#!/bin/sh
# Builds the Windows program and opens it under Wine on your display. Without a display it
# builds rastelle-cli, converts docs/ghost.bmp and prints the text and its preview instead.
# Installs what is missing first when run as root (scripts/install-deps.sh).
# It opens the 32-bit program where this machine runs 32-bit code, else the 64-bit one.
#
# WINEPREFIX: the Wine prefix to use (default wineprefix-desktop in the build's folder, so the
# prefix tuned for the tests, without window-manager decorations, stays separate).
# RASTELLE_ONLY_64BIT=1: behave as on a machine that runs no 32-bit code.
#
# run.sh --web builds the web page instead and serves it on 127.0.0.1 (port RASTELLE_PORT,
# default 8000) until Ctrl+C.
set -eu

root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

if [ "${1:-}" = "--web" ]; then
    sh scripts/install-deps.sh --web
    cmake --preset web >/dev/null
    cmake --build --preset web --target rastelle-page
    port=${RASTELLE_PORT:-8000}
    echo "Serving the web page at http://127.0.0.1:$port/ (Ctrl+C stops)"
    exec python3 -m http.server "$port" --bind 127.0.0.1 --directory build/web/web/page
fi

if [ -z "${DISPLAY:-}" ]; then
    sh scripts/install-deps.sh --cli
    cmake --preset package >/dev/null
    cmake --build --preset package --target rastelle-cli
    echo
    echo "No display (DISPLAY is not set), so here is the command-line tool's work:"
    echo "\$ build/package/rastelle-cli --label ghost docs/ghost.bmp"
    build/package/rastelle-cli --label ghost docs/ghost.bmp
    echo
    echo "\$ build/package/rastelle-cli --preview docs/ghost.bmp   # the same digits, drawn"
    build/package/rastelle-cli --preview docs/ghost.bmp
    echo
    echo "To see the window, run this script from a graphical session (or over ssh -X);"
    echo "scripts/dialog-screenshot.sh shows it as a picture without one (docs/dialog.png)."
    exit 0
fi

. cmake/wine-loader.sh
sh scripts/install-deps.sh --windows
bits=32
preset=windows
no_32bit=$(rastelle_no_32bit_reason)
if [ -n "$no_32bit" ]; then
    echo "Opening the 64-bit program: $no_32bit."
    bits=64
    preset=windows64
fi
cmake --preset "$preset"
cmake --build --preset "$preset" --target Rastelle
rastelle_check_wine_loader "$bits" run.sh || exit 1

build=$root/$(rastelle_windows_build "$bits")
: "${WINEPREFIX:=$build/wineprefix-desktop}"
: "${WINEDEBUG:=-all}"
WINELOADER=$(rastelle_wine_loader "$bits")
export WINEPREFIX WINEDEBUG WINELOADER
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
if [ ! -d "$WINEPREFIX" ]; then
    echo "Creating the Wine prefix $WINEPREFIX: Wine sets up its own Windows folder,"
    echo "once. On a fresh machine this takes one to three minutes; later starts take seconds."
    mkdir -p "$(dirname "$WINEPREFIX")"
    "$WINELOADER" wineboot --init >"$WINEPREFIX.log" 2>&1 &
    wineboot=$!
    started=$(date +%s)
    while kill -0 "$wineboot" 2>/dev/null; do
        sleep 5
        echo "  ... $(($(date +%s) - started)) s, $(find "$WINEPREFIX" 2>/dev/null | wc -l) files so far"
    done
    wait "$wineboot" || true
    # The registry is written when Wine's server ends: without it the prefix is not usable.
    wineserver -w
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        echo "run.sh: wineboot could not make the Wine prefix; its output is in $WINEPREFIX.log:" >&2
        tail -n 5 "$WINEPREFIX.log" >&2
        rm -rf "$WINEPREFIX"
        exit 1
    fi
    echo "Wine prefix ready after $(($(date +%s) - started)) s (messages in $WINEPREFIX.log)."
fi
# The caption buttons need Marlett, which Debian's Wine does not find by itself (see
# cmake/wine-run.sh).
fonts=$WINEPREFIX/drive_c/windows/Fonts
if [ -d "$fonts" ] && [ ! -f "$fonts/marlett.ttf" ]; then
    cp /usr/share/wine/fonts/marlett.ttf "$fonts/" 2>/dev/null || true
fi
exec "$WINELOADER" "$build/Rastelle.exe"

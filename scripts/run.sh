#!/bin/sh
# Builds the Windows program and opens it under Wine on your display. Without a display it
# builds rastelle-cli, converts docs/ghost.bmp and prints the text and its preview instead.
# Installs what is missing first when run as root (scripts/install-deps.sh).
#
# WINEPREFIX: the Wine prefix to use (default build/windows/wineprefix-desktop, so the
# prefix tuned for the tests, without window-manager decorations, stays separate).
set -eu

root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

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

sh scripts/install-deps.sh --windows
cmake --preset windows
cmake --build --preset windows

: "${WINEPREFIX:=$root/build/windows/wineprefix-desktop}"
: "${WINEDEBUG:=-all}"
export WINEPREFIX WINEDEBUG
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
if [ ! -d "$WINEPREFIX" ]; then
    echo "Creating the Wine prefix $WINEPREFIX: Wine sets up its own Windows folder,"
    echo "once. On a fresh machine this takes one to three minutes; later starts take seconds."
    mkdir -p "$(dirname "$WINEPREFIX")"
    wineboot --init >"$WINEPREFIX.log" 2>&1 &
    wineboot=$!
    started=$(date +%s)
    while kill -0 "$wineboot" 2>/dev/null; do
        sleep 5
        echo "  ... $(($(date +%s) - started)) s, $(find "$WINEPREFIX" 2>/dev/null | wc -l) files so far"
    done
    wait "$wineboot" || true
    echo "Wine prefix ready after $(($(date +%s) - started)) s (messages in $WINEPREFIX.log)."
fi
# The caption buttons need Marlett, which Debian's Wine does not find by itself (see
# cmake/wine-run.sh).
fonts=$WINEPREFIX/drive_c/windows/Fonts
if [ -d "$fonts" ] && [ ! -f "$fonts/marlett.ttf" ]; then
    cp /usr/share/wine/fonts/marlett.ttf "$fonts/" 2>/dev/null || true
fi
exec wine "$root/build/windows/Rastelle.exe"

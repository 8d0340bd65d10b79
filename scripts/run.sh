#!/bin/sh
# Builds the Windows program and opens it under Wine on your display.
# Installs what is missing first when run as root (scripts/install-deps.sh --windows).
#
# WINEPREFIX: the Wine prefix to use (default build/windows/wineprefix-desktop, so the
# prefix tuned for the tests, without window-manager decorations, stays separate).
set -eu

root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

sh scripts/install-deps.sh --windows

if [ -z "${DISPLAY:-}" ]; then
    echo "run.sh: no display (DISPLAY is not set)." >&2
    echo "Run it from a graphical session or over ssh -X. Without a screen," >&2
    echo "scripts/dialog-screenshot.sh shows the window as a picture (docs/dialog.png)." >&2
    exit 1
fi

cmake --preset windows
cmake --build --preset windows

: "${WINEPREFIX:=$root/build/windows/wineprefix-desktop}"
: "${WINEDEBUG:=-all}"
export WINEPREFIX WINEDEBUG
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
if [ ! -d "$WINEPREFIX" ]; then
    echo "Creating the Wine prefix $WINEPREFIX (once, takes a few seconds)..."
    wineboot --init >/dev/null 2>&1 || true
fi
# The caption buttons need Marlett, which Debian's Wine does not find by itself (see
# cmake/wine-run.sh).
fonts=$WINEPREFIX/drive_c/windows/Fonts
if [ -d "$fonts" ] && [ ! -f "$fonts/marlett.ttf" ]; then
    cp /usr/share/wine/fonts/marlett.ttf "$fonts/" 2>/dev/null || true
fi
exec wine "$root/build/windows/Rastelle.exe"

#!/bin/sh
# Runs a Windows program under Wine for CTest:
#   wine-run.sh [--bits 32|64] [--default-prefix DIR] PROGRAM ARGS...
# wine-run.sh [--bits 32|64] --prepare only sets up the prefix.
#
# --bits picks the Wine loader for the program (32 by default); WINEPREFIX wins over
# --default-prefix. A prefix is prepared once (no window manager
# handshake, no crash debugger). Outside scripts/wine-session.sh the program runs inside a
# session of its own (private Xvfb and wineserver, taken down afterwards).
set -eu

here=$(cd "$(dirname "$0")" && pwd)
. "$here/wine-loader.sh"
bits=32
if [ "${1:-}" = "--bits" ]; then
    bits=$2
    shift 2
fi
default_prefix=
if [ "${1:-}" = "--default-prefix" ]; then
    default_prefix=$2
    shift 2
fi
prepare_only=
if [ "${1:-}" = "--prepare" ]; then
    prepare_only=1
    shift
elif [ $# -eq 0 ]; then
    echo "usage: $0 [--bits 32|64] [--default-prefix DIR] PROGRAM [ARGS...]" >&2
    exit 2
fi

: "${WINEPREFIX:=${default_prefix:-$HOME/.wine}}"
: "${WINEDEBUG:=-all}"
WINELOADER=$(rastelle_wine_loader "$bits")
export WINEPREFIX WINEDEBUG WINELOADER
# Keep Wine from offering to install Mono or Gecko while it creates a prefix.
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"

# Outside a session each program gets one of its own: the tests then never take over the
# user's screen, and no Wine process outlives the program holding CTest's output open.
if [ -z "$prepare_only" ] && [ -z "${RASTELLE_WINE_SESSION:-}" ]; then
    exec "$here/../scripts/wine-session.sh" --bits "$bits" "$0" --bits "$bits" "$@"
fi

wine_reg() {
    "$WINELOADER" reg add "$@" /f >/dev/null 2>&1
}

# Called with the prefix lock held. wineboot's own words go to a log, named when it fails.
prepare_prefix() {
    [ -f "$WINEPREFIX/.rastelle-ready" ] && return 0
    mkdir -p "$WINEPREFIX"
    log=$WINEPREFIX.wineboot.log
    wineboot_status=0
    "$WINELOADER" wineboot --init >"$log" 2>&1 || wineboot_status=$?
    # Without a window manager Wine waits about 2 s for every top-level window that closes.
    wine_reg 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N
    # A crash must end the program, not leave it waiting in a debugger or a crash dialog.
    wine_reg 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' /v Auto /t REG_SZ /d 1
    wine_reg 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' /v Debugger /t REG_SZ /d ''
    wine_reg 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0
    wineserver -w
    # wineboot reports harmless failures too (a missing syswow64 program where only 64-bit
    # code runs); a prefix without its registry, written when the server ends, is the real one.
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        echo "wine-run.sh: wineboot could not make the Wine prefix $WINEPREFIX (exit $wineboot_status); its output is in $log:" >&2
        tail -n 5 "$log" >&2
        return 1
    fi
    touch "$WINEPREFIX/.rastelle-ready"
}

# Debian's Wine looks for its own fonts in a folder that does not exist ("<data>/wine/../fonts"),
# so Marlett, which draws the caption buttons, is never found and they show as the letters
# "0 1 r" of another font. A copy in the prefix's Fonts folder is found; only Marlett, so that
# no other text changes its font.
add_marlett() {
    marlett=/usr/share/wine/fonts/marlett.ttf
    fonts=$WINEPREFIX/drive_c/windows/Fonts
    if [ -f "$marlett" ] && [ -d "$fonts" ] && [ ! -f "$fonts/marlett.ttf" ]; then
        cp "$marlett" "$fonts/"
    fi
}

if [ ! -f "$WINEPREFIX/.rastelle-ready" ]; then
    mkdir -p "$(dirname "$WINEPREFIX")"
    (
        flock 9
        prepare_prefix 9>&-
    ) 9>"$WINEPREFIX.lock" || exit 1
fi

add_marlett
[ -n "$prepare_only" ] && exit 0
exec "$WINELOADER" "$@"

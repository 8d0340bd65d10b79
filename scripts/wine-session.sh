#!/bin/sh
# wine-session.sh [--bits 32|64] COMMAND [ARGS...]
#
# Runs COMMAND with a private X display (Xvfb) and a private Wine prefix and wineserver, then
# takes both down again, whatever happens, and exits with COMMAND's status. Both are started
# with their output in a log file: a background process holding the caller's output open
# would keep a CI pipe from ever closing.
#
# --bits: the programs' width, which picks Wine's loader (WINELOADER, exported to COMMAND) and
# the default prefix; 32 by default. The loader is started first: when it can't run, the
# session says why and what to do, and fails with status 126.
# WINEPREFIX: the prefix to use (default build/windows/wineprefix in this checkout, for 64 bits
# build/windows64/wineprefix). Sessions
# on one prefix take turns, since `wineserver -k` would end the other session's programs. The
# lock is held by this shell alone: everything it starts runs with the lock's descriptor
# closed (8>&-), so a process that outlives the session cannot keep the next one waiting.
# Every process of the session carries RASTELLE_WINE_SESSION_PREFIX in its environment (its
# Xvfb RASTELLE_XVFB_PREFIX); at the start and at the end every such process of this prefix
# is ended, so a session killed outright leaves nothing behind for long.
# RASTELLE_SESSION_LOG: where Xvfb and wineserver write (default next to the prefix).
set -eu

bits=32
if [ "${1:-}" = "--bits" ]; then
    bits=$2
    shift 2
fi
if [ $# -eq 0 ]; then
    echo "usage: $0 [--bits 32|64] COMMAND [ARGS...]" >&2
    exit 2
fi

root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/cmake/wine-loader.sh"
: "${WINEPREFIX:=$root/$(rastelle_windows_build "$bits")/wineprefix}"
: "${WINEDEBUG:=-all}"
WINELOADER=$(rastelle_wine_loader "$bits")
export WINEPREFIX WINEDEBUG WINELOADER
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
mkdir -p "$(dirname "$WINEPREFIX")"
log=${RASTELLE_SESSION_LOG:-$WINEPREFIX.session.log}

for tool in Xvfb "$WINELOADER" wineserver flock; do
    if ! command -v "$tool" >/dev/null 2>&1; then
        echo "wine-session.sh: $tool is missing; run scripts/install-deps.sh --windows" >&2
        exit 127
    fi
done
rastelle_check_wine_loader "$bits" wine-session.sh || exit 126

# One session per prefix at a time; the lock goes with this shell and its children.
exec 8>"$WINEPREFIX.session.lock"
if ! flock -w 600 8; then
    echo "wine-session.sh: another session kept $WINEPREFIX busy for 10 minutes" >&2
    exit 1
fi

work=$(mktemp -d)
xvfb_pid=
stopped=

# Prints the processes (other than this shell) whose environment holds the line $1.
marked_processes() {
    for entry in /proc/[0-9]*; do
        pid=${entry#/proc/}
        [ "$pid" = "$$" ] && continue
        if tr '\0' '\n' 2>/dev/null <"$entry/environ" | grep -qxF "$1"; then
            echo "$pid"
        fi
    done
}

# Ends the prefix's wineserver and every process of the prefix, whichever session started it.
end_prefix_processes() {
    # Helpers started from here on must not carry the mark themselves.
    unset RASTELLE_WINE_SESSION_PREFIX
    timeout 30 wineserver -k </dev/null >/dev/null 2>&1 8>&- || true
    timeout 30 wineserver -w </dev/null >/dev/null 2>&1 8>&- || true
    tries=0
    mark=RASTELLE_WINE_SESSION_PREFIX=$WINEPREFIX
    while left=$(marked_processes "$mark") && [ -n "$left" ] && [ "$tries" -lt 50 ]; do
        # shellcheck disable=SC2086 # one pid a word
        kill -9 $left 2>/dev/null || true
        sleep 0.1
        tries=$((tries + 1))
    done
    if [ -n "$left" ]; then
        echo "wine-session.sh: processes of $WINEPREFIX would not end: $left" >&2
    fi
}

stop() {
    [ -n "$stopped" ] && return 0
    stopped=1
    end_prefix_processes
    if [ -n "$xvfb_pid" ]; then
        kill "$xvfb_pid" 2>/dev/null || true
        wait "$xvfb_pid" 2>/dev/null || true
    fi
    rm -rf "$work"
}
trap 'stop' EXIT
trap 'stop; exit 130' INT
trap 'stop; exit 143' TERM

: >"$log"
# Whatever an earlier session left behind (one killed outright has no chance to clean up).
end_prefix_processes
# shellcheck disable=SC2046 # one pid a word
kill $(marked_processes "RASTELLE_XVFB_PREFIX=$WINEPREFIX") 2>/dev/null || true

# -displayfd makes Xvfb pick a free display itself and report it once it accepts clients.
RASTELLE_XVFB_PREFIX=$WINEPREFIX Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp \
    3>"$work/display" </dev/null >>"$log" 2>&1 8>&- &
xvfb_pid=$!
waited=0
while [ ! -s "$work/display" ]; do
    if ! kill -0 "$xvfb_pid" 2>/dev/null || [ "$waited" -ge 100 ]; then
        echo "wine-session.sh: Xvfb did not start; see $log" >&2
        exit 1
    fi
    sleep 0.1
    waited=$((waited + 1))
done
DISPLAY=:$(head -n 1 "$work/display")
export DISPLAY
RASTELLE_WINE_SESSION_PREFIX=$WINEPREFIX
export RASTELLE_WINE_SESSION_PREFIX

"$root/cmake/wine-run.sh" --bits "$bits" --prepare 8>&-

# A wineserver of our own, kept until `wineserver -k`, so no program of COMMAND starts one
# that inherits COMMAND's output.
timeout 30 wineserver -k </dev/null >/dev/null 2>&1 8>&- || true
timeout 30 wineserver -w </dev/null >/dev/null 2>&1 8>&- || true
wineserver -p </dev/null >>"$log" 2>&1 8>&-
# The first program also starts Wine's own services and desktop, which live on with the
# server: start them here, with their output in the log, not in COMMAND's.
"$WINELOADER" cmd /c exit 0 </dev/null >>"$log" 2>&1 8>&- || true

export RASTELLE_WINE_SESSION=1
status=0
"$@" 8>&- || status=$?
exit "$status"

#!/bin/sh
# Takes docs/dialog.png: the main dialog as it opens, under Wine on a private display.
# Needs a built build/windows/Rastelle.exe.
set -eu

root=$(cd "$(dirname "$0")/.." && pwd)
target=${1:-$root/docs/dialog.png}

if [ -z "${RASTELLE_WINE_SESSION:-}" ]; then
    exec "$root/scripts/wine-session.sh" "$0" "$target"
fi

for tool in xwininfo import; do
    if ! command -v "$tool" >/dev/null 2>&1; then
        echo "dialog-screenshot.sh: needs $tool (packages x11-utils, imagemagick)" >&2
        exit 1
    fi
done

wine "$root/build/windows/Rastelle.exe" </dev/null >/dev/null 2>&1 &
program=$!
tries=0
until geometry=$(xwininfo -name Rastelle 2>/dev/null) && echo "$geometry" | grep -q IsViewable; do
    tries=$((tries + 1))
    if [ "$tries" -ge 100 ]; then
        echo "dialog-screenshot.sh: no Rastelle window after 20 s" >&2
        exit 1
    fi
    sleep 0.2
done
value() { echo "$geometry" | sed -n "s/^ *$1: *//p"; }
x=$(value "Absolute upper-left X")
y=$(value "Absolute upper-left Y")
width=$(value Width)
height=$(value Height)
timeout 20 import -window root -crop "${width}x${height}+${x}+${y}" +repage "$target"
kill "$program" 2>/dev/null || true
echo "wrote $target"

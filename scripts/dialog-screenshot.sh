#!/bin/sh
# dialog-screenshot.sh [TARGET [IMAGE]]
# Takes docs/dialog.png: the main dialog as it opens, under Wine on a private display; or,
# given an image file (e.g. docs/ghost.bmp), the dialog after typing its name and pressing
# Enter, with the preview and the text (docs/conversion.png). The image is copied to
# C:\Pictures first, so no folder of the build machine shows in the picture. Needs a built
# build/windows64/Rastelle.exe.
set -eu

root=$(cd "$(dirname "$0")/.." && pwd)
target=${1:-$root/docs/dialog.png}
convert_path=${2:-}

if [ -z "${RASTELLE_WINE_SESSION:-}" ]; then
    exec "$root/scripts/wine-session.sh" --bits 64 "$0" "$target" "$convert_path"
fi

for tool in xwininfo import ${convert_path:+xdotool}; do
    if ! command -v "$tool" >/dev/null 2>&1; then
        echo "dialog-screenshot.sh: needs $tool (packages x11-utils, imagemagick, xdotool)" >&2
        exit 1
    fi
done

"$WINELOADER" "$root/build/windows64/Rastelle.exe" </dev/null >/dev/null 2>&1 &
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
sleep 1  # until every control has painted itself
if [ -n "$convert_path" ]; then
    mkdir -p "$WINEPREFIX/drive_c/Pictures"
    cp "$convert_path" "$WINEPREFIX/drive_c/Pictures/"
    name=$(basename "$convert_path")
    typed="C:\\Pictures\\${name%.bmp}"
    xdotool search --name '^Rastelle$' windowactivate --sync >/dev/null 2>&1 || true
    xdotool type --delay 20 "$typed"
    xdotool key Return
    sleep 2
fi
value() { echo "$geometry" | sed -n "s/^ *$1: *//p"; }
x=$(value "Absolute upper-left X")
y=$(value "Absolute upper-left Y")
width=$(value Width)
height=$(value Height)
timeout 20 import -window root -crop "${width}x${height}+${x}+${y}" +repage "$target"
kill "$program" 2>/dev/null || true
echo "wrote $target"

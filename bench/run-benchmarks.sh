#!/usr/bin/env bash
# Prints every performance figure of the project: engine throughput (Google Benchmark),
# rastelle-cli against ImageMagick with its peak memory, the web module against rastelle-cli,
# and conversions through the window under Wine. Exits non-zero when a target is missed.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

status=0

cmake --preset native >/dev/null
cmake --build --preset native >/dev/null
echo "== Engine throughput (targets: at least 100 million pixels per second; ordered digits at least"
echo "   0.8 of plain ones, Floyd-Steinberg at least 100 million pixels per second; ResizeArea/1024"
echo "   at least 100 million source pixels per second; PhotoToPanel's ratio at most 1.2; StreamForm"
echo "   hex and hex+comment at most 1.5 times the time of bin; CutTiles unique+mirror at most"
echo "   twice the time of cells)"
build/native/bench/engine_bench --benchmark_counters_tabular=true

echo
echo "== rastelle-cli against ImageMagick: 4096 x 4096 24-bit BMP, RGBA PNGs of 4096 x 4096 and 128 x 64, 4096 x 4096 JPEG"
python3 bench/compare-imagemagick.py --cli build/native/rastelle-cli || status=1

echo
echo "== Digits: plain thresholding against cat, Floyd-Steinberg against ImageMagick, memory of dithering"
python3 bench/compare-digits.py --cli build/native/rastelle-cli || status=1

echo
echo "== The web module's run() in node against rastelle-cli (target: at most 3 times its time)"
cmake --preset web >/dev/null
cmake --build --preset web >/dev/null
node bench/web-bench.mjs build/web/web/rastelle.js build/native/rastelle-cli || status=1

. cmake/wine-loader.sh
for bits in 64 32; do
    echo
    echo "== Conversions through the window under Wine ($bits-bit build)"
    no_32bit=
    [ "$bits" = 32 ] && no_32bit=$(rastelle_no_32bit_reason)
    if [ -n "$no_32bit" ]; then
        echo "not run: $no_32bit"
        continue
    fi
    preset=windows
    [ "$bits" = 64 ] && preset=windows64
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset" >/dev/null
    # shellcheck disable=SC2016 # expanded by the session's shell
    bash scripts/wine-session.sh --bits "$bits" sh -c '"$WINELOADER" "$0"' \
        "$(rastelle_windows_build "$bits")/bench/window_bench.exe" || status=1
done

exit "$status"

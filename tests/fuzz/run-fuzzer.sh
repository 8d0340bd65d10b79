#!/usr/bin/env bash
# Fuzzes the decoders and the encoder for SECONDS (default 30), seeded with the BMP, PNG and
# GIF fixtures.
# Exits non-zero when the fuzzer finds a crash; the crashing input is left in the work
# directory it prints.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/../.."

seconds="${1:-30}"
binary=build/fuzz/tests/fuzz/fuzz_decoder

if [[ ! -f build/fuzz/build.ninja ]]; then
    cmake --preset fuzz
fi
cmake --build --preset fuzz --target fuzz_decoder

work="$(mktemp -d "${TMPDIR:-/tmp}/rastelle-fuzz.XXXXXX")"
mkdir -p "$work/corpus"
cp tests/fixtures/good/* tests/fixtures/questionable/* tests/fixtures/bad/* \
    tests/fixtures/formats/good/* tests/fixtures/formats/bad/* "$work/corpus/" 2>/dev/null || true

status=0
"$binary" "$work/corpus" -max_total_time="$seconds" -max_len=65536 -rss_limit_mb=2048 \
    -artifact_prefix="$work/" -print_final_stats=1 || status=$?

if [[ $status -ne 0 ]]; then
    echo "fuzzer failed (status $status); inputs in $work" >&2
    exit "$status"
fi
rm -rf "$work"
echo "fuzzing for ${seconds} s found nothing"

#!/usr/bin/env bash
# Fuzzes the decoder and encoder for SECONDS (default 30) from the BMP, PNG and GIF fixtures and the
# JPEGs and refused files in corpus/; with "text" as the second argument, the reading of assembler
# text back into pictures from text-corpus/. Exits non-zero when it finds a crash, leaving the input
# in the work folder.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/../.."
seconds="${1:-30}"
target=fuzz_decoder
[[ "${2:-}" == text ]] && target=fuzz_text
[[ -f build/fuzz/build.ninja ]] || cmake --preset fuzz
cmake --build --preset fuzz --target "$target"
work="$(mktemp -d "${TMPDIR:-/tmp}/rastelle-fuzz.XXXXXX")"
mkdir "$work/corpus"
if [[ "$target" == fuzz_text ]]; then
    cp tests/fuzz/text-corpus/* "$work/corpus/"
else
    cp tests/fixtures/good/* tests/fixtures/questionable/* tests/fuzz/corpus/* \
        tests/fixtures/formats/good/* tests/fixtures/formats/bad/* "$work/corpus/"
fi
build/fuzz/tests/fuzz/"$target" "$work/corpus" -max_total_time="$seconds" -max_len=65536 \
    -rss_limit_mb=2048 -artifact_prefix="$work/" -print_final_stats=1 ||
    { echo "the fuzzer failed; inputs in $work" >&2; exit 1; }
rm -rf "$work"
echo "fuzzing for ${seconds} s found nothing"

#!/usr/bin/env bash
# Prints the lines of test code against the lines of product code, and their ratio; the
# tests should stay at about a quarter to a third of the product.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

tests=$(git ls-files tests | grep -Ev '\.(ico|bmp|png|gif|jpg)$' | xargs cat | wc -l)
product=$(git ls-files engine cli win32 ui app res web | grep -Ev '\.(ico|bmp|png|gif|jpg)$' | xargs cat | wc -l)
echo "tests: $tests lines, product: $product lines, ratio $(awk "BEGIN { printf \"%.2f\", $tests / $product }")"

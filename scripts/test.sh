#!/usr/bin/env bash
# Runs every test of the project: the host build with g++ and clang, the sanitizer build,
# a short fuzzing run, the web module against the host build in node and the page in headless
# Chromium, the Windows programs and their tests under Wine on a private
# display (the 64-bit build everywhere, the 32-bit build where the machine runs 32-bit
# code), and the release artefacts (scripts/package.sh, scripts/check-packages.sh).
# Installs what is missing first (as root). Exits non-zero when anything fails, naming the
# step. RASTELLE_ONLY_64BIT=1: behave as on a machine that runs no 32-bit code.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
. cmake/wine-loader.sh

fuzz_seconds="${RASTELLE_FUZZ_SECONDS:-30}"

current_step=
step() {
    current_step=$*
    printf '\n==> %s\n' "$*"
}
report_failure() {
    local status=$?
    if [ "$status" -ne 0 ] && [ -n "$current_step" ]; then
        echo "test.sh: step \"$current_step\" failed (exit $status)" >&2
    fi
}
trap report_failure EXIT

step "Installing what is missing"
bash scripts/install-deps.sh

step "Host build and tests (g++)"
cmake --preset native
cmake --build --preset native
ctest --preset native

step "Host build and tests (clang)"
cmake --preset clang-native
cmake --build --preset clang-native
ctest --preset clang-native

step "Host tests under AddressSanitizer and UndefinedBehaviorSanitizer"
cmake --preset sanitize
cmake --build --preset sanitize
ctest --preset sanitize

step "Fuzzing the decoder and encoder for ${fuzz_seconds} s"
bash tests/fuzz/run-fuzzer.sh "$fuzz_seconds"

step "Fuzzing the reading of assembler text for $((fuzz_seconds / 2)) s"
bash tests/fuzz/run-fuzzer.sh "$((fuzz_seconds / 2))" text

step "Web module (emscripten) against the host build, in node"
cmake --preset web
cmake --build --preset web
ctest --preset web
if [ -f package.json ] && grep -q '"test"' package.json; then
    step "The web page in headless Chromium"
    npm test
fi

step "Starting Wine's 64-bit loader"
rastelle_check_wine_loader 64 test.sh

step "64-bit Windows program and tests under Wine"
cmake --preset windows64
cmake --build --preset windows64
bash scripts/wine-session.sh --bits 64 ctest --preset windows64

step "32-bit Windows program and tests under Wine"
cmake --preset windows
cmake --build --preset windows
no_32bit=$(rastelle_no_32bit_reason)
if [ -n "$no_32bit" ]; then
    echo "test.sh: the 32-bit Windows programs were built but not run: $no_32bit."
else
    rastelle_check_wine_loader 32 test.sh
    bash scripts/wine-session.sh --bits 32 ctest --preset windows
fi

step "Release artefacts: the Debian package, the Windows zips and the web page's zip, made and checked"
bash scripts/package.sh
bash scripts/check-packages.sh

step "Test code against product code (for information)"
bash scripts/test-ratio.sh || true
current_step=

#!/usr/bin/env bash
# Runs every test of the project: the host build with g++ and clang, the sanitizer build,
# a short fuzzing run, the Windows programs and their tests under Wine on a private
# display, and the release artefacts (scripts/package.sh, scripts/check-packages.sh). Installs what is missing first (as root). Exits non-zero when anything fails.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

fuzz_seconds="${RASTELLE_FUZZ_SECONDS:-30}"

step() { printf '\n==> %s\n' "$*"; }

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

step "Windows program and tests under Wine"
cmake --preset windows
cmake --build --preset windows
bash scripts/wine-session.sh ctest --preset windows

step "Release artefacts: the Debian package and the Windows zip, made and checked"
bash scripts/package.sh
bash scripts/check-packages.sh

step "Test code against product code (for information)"
bash scripts/test-ratio.sh || true

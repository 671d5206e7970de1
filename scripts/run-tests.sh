#!/usr/bin/env bash
# Sets up a fresh Debian 12 machine, builds the test build (AddressSanitizer and
# UndefinedBehaviorSanitizer) and runs every test. Exits non-zero when any test fails.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake -S . -B build/test -G Ninja -DCMAKE_BUILD_TYPE=Debug -DHALVEK_SANITIZE=ON -DHALVEK_BENCH=OFF
cmake --build build/test --parallel "$(nproc)"
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
cd build/test
ctest --output-on-failure --parallel "$(nproc)" --timeout 300

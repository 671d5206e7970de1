#!/usr/bin/env bash
# Sets up a fresh Debian 12 machine and runs every test:
#   1. each libFuzzer target briefly over the loaders of untrusted input (clang),
#   2. the threaded components' tests under ThreadSanitizer,
#   3. the Windows cross build (MinGW-w64) and its UI-free suites under Wine, with the
#      Windows halvekctl's frames compared to the Linux one's,
#   4. the test build (AddressSanitizer and UndefinedBehaviorSanitizer) with every test
#      through ctest, whose summary closes the output.
# Exits non-zero when any of them fails.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
jobs="$(nproc)"

echo "== fuzz targets (10 s each)"
bash scripts/run-fuzz.sh 10 > build-fuzz.log 2>&1 || { tail -n 60 build-fuzz.log; exit 1; }
grep -E '^== |^Done ' build-fuzz.log
rm -f build-fuzz.log

echo "== ThreadSanitizer: threaded components"
threaded=(platform_tests hid_tests protocol_tests detect_tests model_tests devsim_tests update_tests
          companion_tests)
cmake -S . -B build/tsan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DHALVEK_TSAN=ON -DHALVEK_WERROR=ON -DHALVEK_BENCH=OFF
# The update and companion tests run the programs they test.
cmake --build build/tsan --parallel "$jobs" --target "${threaded[@]}" ui_tests halvek-update halvek-audio
for suite in "${threaded[@]}"; do
    TSAN_OPTIONS=halt_on_error=1 "build/tsan/tests/${suite}" --gtest_brief=1
done
# The UI runs on one thread; of its tests only the tray's bus worker is threaded.
TSAN_OPTIONS=halt_on_error=1 build/tsan/tests/ui_tests --gtest_brief=1 --gtest_filter='TrayIcon*'

echo "== AddressSanitizer and UndefinedBehaviorSanitizer: every test"
cmake -S . -B build/test -G Ninja -DCMAKE_BUILD_TYPE=Debug -DHALVEK_SANITIZE=ON -DHALVEK_WERROR=ON -DHALVEK_BENCH=OFF
cmake --build build/test --parallel "$jobs"

echo "== Windows: the cross build and its suites under Wine"
cmake -S . -B build/windows -G Ninja -DCMAKE_BUILD_TYPE=Debug -DHALVEK_BENCH=OFF \
    -DCMAKE_TOOLCHAIN_FILE=cmake/toolchains/x86_64-w64-mingw32.cmake \
    -DHALVEK_WERROR=ON -DHALVEK_LINUX_HALVEKCTL="$PWD/build/test/halvekctl"
cmake --build build/windows --parallel "$jobs"
(cd build/windows && ctest --output-on-failure --parallel "$jobs" --timeout 900)
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
# On CI the emulated devices must work as hidraw nodes: there a hidraw test that would skip
# (no namespace, no FUSE) fails instead.
if [ "${CI:-}" = "true" ]; then
    export HALVEK_HIDRAW_REQUIRED=1
fi
cd build/test
ctest --output-on-failure --parallel "$jobs" --timeout 300

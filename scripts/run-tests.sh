#!/usr/bin/env bash
# Sets up a fresh Debian 12 machine and runs every test:
#   1. the install script against recording stand-ins for apt (before anything is built),
#   2. each libFuzzer target briefly over the loaders of untrusted input (clang),
#   3. the threaded components' tests under ThreadSanitizer,
#   4. the test build (AddressSanitizer and UndefinedBehaviorSanitizer),
#   5. the Windows cross build (MinGW-w64) and its suites under Wine, with the Windows
#      halvekctl's frames compared to the Linux one's,
#   6. every test through ctest in the test build.
# Prints each stage's time at the end, then ctest's count as the closing line.
# Exits non-zero when any of them fails.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs="$(nproc)"

stage_names=()
stage_seconds=()
stage_name=""
stage_started=0
run_started=$SECONDS
end_stage() {
    if [ -n "$stage_name" ]; then
        stage_names+=("$stage_name")
        stage_seconds+=($((SECONDS - stage_started)))
    fi
    stage_name=""
}
stage() {
    end_stage
    stage_name="$1"
    stage_started=$SECONDS
    echo "== $1"
}
print_times() {
    local status=$?
    end_stage
    echo "== stage times"
    local i
    for i in "${!stage_names[@]}"; do
        printf '%6d s  %s\n' "${stage_seconds[$i]}" "${stage_names[$i]}"
    done
    printf '%6d s  total (%d min)%s\n' $((SECONDS - run_started)) $(((SECONDS - run_started) / 60)) \
        "$([ "$status" -eq 0 ] || echo ", stopped by a failure")"
    [ -z "${ctest_summary:-}" ] || echo "$ctest_summary"
}
trap print_times EXIT

stage "install: the Debian packages and sources"
bash scripts/install-deps.sh

stage "install script: against recording stand-ins"
bash tests/scripts/install_deps_test.sh

stage "fuzz targets (10 s each)"
bash scripts/run-fuzz.sh 10 > build-fuzz.log 2>&1 || { tail -n 60 build-fuzz.log; exit 1; }
grep -E '^== |^Done ' build-fuzz.log
rm -f build-fuzz.log

stage "ThreadSanitizer: threaded components"
threaded=(platform_tests hid_tests protocol_tests detect_tests model_tests devsim_tests update_tests
          companion_tests hidraw_tests)
cmake -S . -B build/tsan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DHALVEK_TSAN=ON -DHALVEK_WERROR=ON -DHALVEK_BENCH=OFF
# The update and companion tests run the programs they test; the hidraw tests run
# halvekctl and the window against the emulated nodes.
cmake --build build/tsan --parallel "$jobs" --target "${threaded[@]}" ui_tests halvek-update halvek-audio \
    halvekctl halvek-devsim
for suite in "${threaded[@]}"; do
    TSAN_OPTIONS=halt_on_error=1 "build/tsan/tests/${suite}" --gtest_brief=1
done
# The UI runs on one thread; of its tests only the tray's bus worker is threaded.
TSAN_OPTIONS=halt_on_error=1 build/tsan/tests/ui_tests --gtest_brief=1 --gtest_filter='TrayIcon*'

stage "AddressSanitizer and UndefinedBehaviorSanitizer: the test build"
cmake -S . -B build/test -G Ninja -DCMAKE_BUILD_TYPE=Debug -DHALVEK_SANITIZE=ON -DHALVEK_WERROR=ON -DHALVEK_BENCH=OFF
cmake --build build/test --parallel "$jobs"

stage "Windows: the cross build"
cmake -S . -B build/windows -G Ninja -DCMAKE_BUILD_TYPE=Debug -DHALVEK_BENCH=OFF \
    -DCMAKE_TOOLCHAIN_FILE=cmake/toolchains/x86_64-w64-mingw32.cmake \
    -DHALVEK_WERROR=ON -DHALVEK_LINUX_HALVEKCTL="$PWD/build/test/halvekctl"
cmake --build build/windows --parallel "$jobs"

stage "Windows: the suites under Wine"
(cd build/windows && ctest --output-on-failure --parallel "$jobs" --timeout 900)

stage "ctest: every test of the test build"
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
# On CI the emulated devices must work as hidraw nodes: there a hidraw test that would skip
# (no namespace, no FUSE) fails instead.
if [ "${CI:-}" = "true" ]; then
    export HALVEK_HIDRAW_REQUIRED=1
fi
ctest_log="$(mktemp)"
set +e
(cd build/test && ctest --output-on-failure --parallel "$jobs" --timeout 300) 2>&1 | tee "$ctest_log"
ctest_status=${PIPESTATUS[0]}
set -e
# ctest's own count, repeated as the closing line after the stage times.
if counts="$(grep -oE '[0-9]+ tests failed out of [0-9]+' "$ctest_log")"; then
    read -r failed _ _ _ _ total <<< "$counts"
    ctest_summary="ctest: $((total - failed)) passed, $failed failed"
fi
rm -f "$ctest_log"
exit "$ctest_status"

#!/usr/bin/env bash
# The running window's budget as one table, measured in one run on a private Xvfb with the
# emulated keyboard on its cable and scratch user folders:
#   - CPU of the whole process as ticks from /proc/PID/stat over SECONDS, a share of one
#     core: idle on a device-side effect (nothing moves), streaming the factory profile's
#     host effect, and streaming while the window is minimised;
#   - resident memory (VmRSS) with the device, at the end of the streaming run;
#   - start to first frame (median of five starts, no device, HALVEK_DEBUG's line);
#   - plug to active tile and resume to re-applied profile, from the app tests that measure
#     them (when BUILD has them).
# The load average is printed with each CPU figure: other jobs on the machine slow the
# window's wall times but hardly its ticks.
#   scripts/measure-window.sh [SECONDS] [BUILD]    (defaults: 60, build/release)
# SETTLE=S waits S seconds (default 8) after start before counting; MEASURE_TESTS=0 skips
# the two rows taken from the app tests; TESTS_BUILD=DIR takes those tests from another build
# (a release build made without its tests).
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
build=$(realpath "${2:-build/release}")
settle=${SETTLE:-8} # after the script's last step, before counting
halvek="$build/halvek"
[ -x "$halvek" ] || { echo "no $halvek: build it first" >&2; exit 2; }
command -v Xvfb > /dev/null || { echo "Xvfb is missing (apt-get install xvfb)" >&2; exit 2; }

scratch=$(mktemp -d)
# The runtime folder (device lock files, the instance socket) is a memory file system in a
# login session (/run/user/UID); one on disk would add the disk's costs to every live frame.
runtime=$(mktemp -d -p /dev/shm 2> /dev/null || mktemp -d)
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2> /dev/null || true; done
    wait 2> /dev/null || true
    rm -rf "$scratch" "$runtime"
}
trap cleanup EXIT

Xvfb -displayfd 3 -screen 0 1920x1080x24 -nolisten tcp 3> "$scratch/display" 2> /dev/null &
pids+=($!)
for _ in $(seq 100); do [ -s "$scratch/display" ] && break; sleep 0.1; done
export DISPLAY=":$(cat "$scratch/display")"
# A window manager, as on a desktop: without one a minimise request is never answered and
# the window stays on show.
if command -v openbox > /dev/null; then
    openbox --sm-disable > /dev/null 2>&1 &
    pids+=($!)
    for _ in $(seq 100); do
        xprop -root _NET_SUPPORTING_WM_CHECK 2> /dev/null | grep -q 'window id' && break
        sleep 0.1
    done
fi

# Each run gets fresh user folders, so every run starts from the factory profile.
fresh_folders() {
    local dir="$scratch/$1"
    rm -rf "$dir" "${runtime:?}/$1" && mkdir -p "$dir" "$runtime/$1" && chmod 700 "$runtime/$1"
    export XDG_DATA_HOME="$dir/data" XDG_CONFIG_HOME="$dir/config" XDG_CACHE_HOME="$dir/cache"
    export XDG_RUNTIME_DIR="$runtime/$1"
}

# WM_STATE of the program's top-level window ("Normal", "Iconic"), "unknown" without xprop.
window_state() {
    local id
    command -v xwininfo > /dev/null && command -v xprop > /dev/null || { echo unknown; return; }
    id=$(xwininfo -root -tree 2> /dev/null | awk '/\("halvek" "halvek"\)/ { print $1; exit }')
    [ -n "$id" ] || { echo unknown; return; }
    xprop -id "$id" WM_STATE 2> /dev/null | awk '/window state:/ { print $3; exit }' | grep . || echo unknown
}

hz=$(getconf CLK_TCK)
ticks() { awk '{ print $14 + $15 }' "/proc/$1/stat"; }
load() { cut -d' ' -f1 /proc/loadavg; }

# run_state NAME SCRIPT-LINES...: starts the window with the script, lets it settle, counts
# its ticks over $seconds; leaves "ticks share load rss" in $scratch/NAME.
run_state() {
    local name=$1
    shift
    fresh_folders "$name"
    printf '%s\n' "$@" > "$scratch/$name.txt"
    "$halvek" --simulate=cable --script "$scratch/$name.txt" > "$scratch/$name.log" 2>&1 &
    local pid=$!
    pids+=("$pid")
    sleep "$settle"
    if ! kill -0 "$pid" 2> /dev/null; then
        echo "$name: halvek ended early:" >&2
        cat "$scratch/$name.log" >&2
        exit 1
    fi
    local before after load_before
    load_before=$(load)
    before=$(ticks "$pid")
    sleep "$seconds"
    after=$(ticks "$pid")
    local rss state
    rss=$(awk '/^VmRSS/ { printf "%.1f", $2 / 1024 }' "/proc/$pid/status")
    # What the window manager made of the window (Normal, Iconic), for the minimised row.
    state=$(window_state)
    kill "$pid"
    wait "$pid" 2> /dev/null || true
    awk -v t=$((after - before)) -v hz="$hz" -v s="$seconds" -v l1="$load_before" -v l2="$(load)" \
        -v rss="$rss" -v state="$state" \
        'BEGIN { printf "%d %.3f %s-%s %s %s\n", t, 100 * t / hz / s, l1, l2, rss, state }' \
        > "$scratch/$name.result"
}

# The lighting page's effect list: row n is effect n; 20, the custom colours, is shown by
# the keyboard itself and stands still on the picture.
run_state idle "wait keyboard_device_key_light" "sleep 1500" "select light_combo_modeSelect 20"
run_state streaming "wait keyboard_device_key_light"
# The window lays itself out for the screen once, shortly after start, and shows itself then
# (restoring a window minimised before): the minimise waits for that.
run_state minimised "wait keyboard_device_key_light" "sleep 1500" "click minbtn"

fresh_folders start
starts=()
for _ in 1 2 3 4 5; do
    line=$(HALVEK_DEBUG=1 "$halvek" --script scripts/measure-start.txt 2>&1 |
        grep -o 'first frame shown [0-9]* ms' || true)
    starts+=("$(echo "$line" | grep -o '[0-9]*' || echo 0)")
done
start_median=$(printf '%s\n' "${starts[@]}" | sort -n | sed -n 3p)
start_load=$(load)

tests=$(realpath "${TESTS_BUILD:-$build}")
plug="not measured (no $tests/tests/app_tests)"
resume="not measured (no $tests/tests/app_tests)"
if [ -x "$tests/tests/app_tests" ] && [ "${MEASURE_TESTS:-1}" != 0 ]; then
    plug=$("$tests/tests/app_tests" \
        --gtest_filter='MainWindowTest.KeyboardPluggedWhileRunningGetsATileAndBecomesTheActiveDevice' |
        grep -o 'plug to active tile: [0-9]* ms' | grep -o '[0-9]* ms' || echo "test failed")
    resume=$("$tests/tests/app_tests" --gtest_filter='ResumeReapply.*' |
        grep -o 'median [0-9.]* ms' | head -1 || echo "test failed")
fi

cpu_row() { # NAME STATE TARGET [shows the window state]
    read -r t share loads _ state < "$scratch/$1.result"
    local shown=""
    [ -n "${4:-}" ] && shown="; window $state"
    printf '| %s | %s | %s %% (%d ticks in %d s, load %s%s) |\n' "$2" "$3" "$share" "$t" "$seconds" \
        "$loads" "$shown"
}
read -r _ _ _ rss _ < "$scratch/streaming.result"

echo "| state | target | measured |"
echo "|---|---|---|"
cpu_row idle "window, device attached, its own (device-side) effect, nothing moving on screen" "≤ 0.2 %"
cpu_row streaming "window, device attached, a host effect streaming" "≤ 3 %"
cpu_row minimised "window minimised while streaming" "≤ 1.5 %" state
printf '| resident memory, window with a device | ≤ 50 MB | %s MB |\n' "$rss"
printf '| start to first frame | ≤ 300 ms | %s ms median (%s; load %s) |\n' "$start_median" \
    "$(IFS=,; echo "${starts[*]}")" "$start_load"
printf '| plug to active tile, after the device event | ≤ 150 ms | %s |\n' "$plug"
printf '| resume to profile re-applied | ≤ 1 s | %s |\n' "$resume"
echo "build: $build (plug and resume: $tests); $(nproc) cores; load average now $(cut -d' ' -f1-3 /proc/loadavg)"

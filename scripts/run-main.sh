#!/usr/bin/env bash
# Sets up a fresh Debian 12 machine, builds the release build and runs the main job: the
# desktop program against the emulated keyboard.
#   - On a desktop (DISPLAY or WAYLAND_DISPLAY set): writes the factory profile to the
#     emulated keyboard and starts `halvek --simulate`; it runs until the program ends (with
#     a notification area, closing the window hides it: Exit in the tray menu ends it).
#   - Without a display: the same, on a virtual display (xvfb-run), through a short script
#     that waits for the keyboard's tile and picture, writes main-window.png and quits.
set -euo pipefail
cd "$(dirname "$0")/.."
root="$(pwd)"
bash scripts/install-deps.sh
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DHALVEK_TESTS=OFF
cmake --build build/release --parallel "$(nproc)"

job="$root/build/main-job"
mkdir -p "$job"
state="$job/keyboard.state"
bin="$root/build/release"

if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
    "$bin/halvekctl" --simulate --sim-state "$state" apply
    echo "== starting halvek --simulate (Exit in its tray menu, or closing its window without a tray, ends it)"
    exec "$bin/halvek" --simulate --sim-state "$state"
fi

# No display: a scratch home, so the run leaves the user's profiles alone.
export XDG_DATA_HOME="$job/data" XDG_CONFIG_HOME="$job/config" XDG_CACHE_HOME="$job/cache"
export XDG_RUNTIME_DIR="$job/runtime"
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
echo "== halvekctl --simulate apply: the factory profile to the emulated keyboard"
"$bin/halvekctl" --simulate --sim-state "$state" apply
echo "== halvek --simulate on a virtual display"
rm -f "$job/main-window.png"
(cd "$job" && xvfb-run -a -s "-screen 0 1920x1080x24" \
    "$bin/halvek" --simulate --sim-state "$state" --script "$root/scripts/sessions/main-window.txt")
test -s "$job/main-window.png"
echo "The main window with the emulated keyboard: $job/main-window.png"

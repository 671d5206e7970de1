#!/usr/bin/env bash
# End-to-end check of game lighting: halvek-devsim serves the emulated keyboard, halvek runs
# against it (--simulate=socket, on a virtual display when there is none: an off-screen run
# takes no messages from other programs), and `halvekctl game start 0 23` must switch the
# keyboard's slot record to effect 23 at once and back to the profile's effect about 5 s
# later. Reads the keyboard's memory through the same socket with `halvekctl read settings`.
#   scripts/check-game-lighting.sh [BUILD_DIR]     (default build/test)
set -euo pipefail
cd "$(dirname "$0")/.."
bin=${1:-build/test}
work=$(mktemp -d)
export XDG_DATA_HOME="$work/data" XDG_CONFIG_HOME="$work/config" XDG_CACHE_HOME="$work/cache"
export XDG_RUNTIME_DIR="$work/runtime" HALVEK_SIM_SOCKET="$work/devsim.sock"
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    wait 2>/dev/null || true
    [ -n "${KEEP:-}" ] && { echo "kept $work"; cat "$work/halvek.log" | tail -20; } || rm -rf "$work"
}
trap cleanup EXIT

# The emulator reads its control lines from stdin: keep it open.
mkfifo "$work/devsim.in"
"$bin/halvek-devsim" --socket "$HALVEK_SIM_SOCKET" --device keyboard < "$work/devsim.in" &
pids+=($!)
exec 3> "$work/devsim.in"
for _ in $(seq 50); do [ -S "$HALVEK_SIM_SOCKET" ] && break; sleep 0.1; done

if [ -z "${DISPLAY:-}" ]; then
    exec 4> "$work/display"
    Xvfb -displayfd 4 -screen 0 1600x1000x24 -nolisten tcp > /dev/null 2>&1 &
    pids+=($!)
    for _ in $(seq 50); do [ -s "$work/display" ] && break; sleep 0.1; done
    export DISPLAY=":$(head -n1 "$work/display")"
fi
"$bin/halvek" --simulate=socket > "$work/halvek.log" 2>&1 &
pids+=($!)

effect() { # the effect byte of the active slot record
    "$bin/halvekctl" --simulate=socket read settings --json |
        python3 -c "import json,sys; print(json.load(sys.stdin)['effect'])"
}

# Wait until halvek has opened the keyboard and written its profile.
for _ in $(seq 100); do
    # A step other than 0-2 changes no device; it only tells that halvek listens.
    "$bin/halvekctl" game end 9 0 > /dev/null 2>&1 && break
    sleep 0.2
done
# The keyboard starts half a second after it opens, and then writes its profile: wait until
# its effect has held still for three readings.
before=$(effect); same=0
for _ in $(seq 30); do
    sleep 1
    now=$(effect)
    if [ "$now" = "$before" ]; then same=$((same + 1)); else same=0; before=$now; fi
    [ $same -ge 3 ] && break
done
echo "profile's effect: $before"
"$bin/halvekctl" game start 0 23
sleep 0.5
during=$(effect)
echo "after game start: $during"
sleep 6
after=$(effect)
echo "6 s later: $after"
[ "$during" = 23 ] || { echo "FAIL: effect 23 was not shown"; exit 1; }
# An effect of 0 or above 20 is remembered as 1.
expected=$before
if [ "$before" -eq 0 ] || [ "$before" -gt 20 ]; then expected=1; fi
[ "$after" = "$expected" ] || { echo "FAIL: effect $expected did not return"; exit 1; }
echo "game lighting: ok"

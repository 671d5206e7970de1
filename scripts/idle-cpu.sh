#!/usr/bin/env bash
# Idle cost of device detection: runs `halvekctl --simulate devices --watch` with the
# emulated keyboard attached, lets it settle, and reads the process's CPU time (user +
# system, from /proc/PID/stat) over the given seconds (default 60) as a share of one core.
set -euo pipefail
seconds=${1:-60}
halvekctl=${HALVEKCTL:-build/release/halvekctl}
[ -x "$halvekctl" ] || halvekctl=build/test/halvekctl
"$halvekctl" --simulate devices --watch --seconds $((seconds + 10)) > /dev/null &
pid=$!
trap 'kill $pid 2>/dev/null || true' EXIT
sleep 5 # the first passes and the channel opening are not idle
ticks() { awk '{ print $14 + $15 }' "/proc/$pid/stat"; }
before=$(ticks)
sleep "$seconds"
after=$(ticks)
hz=$(getconf CLK_TCK)
awk -v t=$((after - before)) -v hz="$hz" -v s="$seconds" \
    'BEGIN { printf "%d ticks of 1/%d s in %d s: %.3f %% of one core\n", t, hz, s, 100 * t / hz / s }'

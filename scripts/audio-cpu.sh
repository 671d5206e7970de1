#!/usr/bin/env bash
# CPU cost of the audio companion: runs `halvek-audio --input` on a sine sweep at the pace
# of real sound (43 packets a second, as when capturing) and reads the process's CPU time
# (user + system, from /proc/PID/stat) over the given seconds (default 20) as a share of
# one core. A scratch runtime folder keeps it away from a running halvek.
set -euo pipefail
seconds=${1:-20}
audio=${HALVEK_AUDIO:-build/release/halvek-audio}
[ -x "$audio" ] || audio=build/test/halvek-audio
work=$(mktemp -d)
trap 'kill $pid 2>/dev/null || true; rm -rf "$work"' EXIT
pid=
export XDG_RUNTIME_DIR="$work/runtime"
mkdir -m 700 "$XDG_RUNTIME_DIR"
# A sweep long enough for the measurement, 100 Hz to 8 kHz and back, 16-bit mono.
python3 - "$work/sweep.wav" $((seconds + 5)) <<'PY'
import math, struct, sys, wave
path, seconds = sys.argv[1], int(sys.argv[2])
rate = 44100
with wave.open(path, "wb") as out:
    out.setnchannels(1); out.setsampwidth(2); out.setframerate(rate)
    phase, frames = 0.0, bytearray()
    for i in range(rate * seconds):
        t = (i / rate) % 10
        f = 100 * (80 ** ((t if t < 5 else 10 - t) / 5))
        phase += 2 * math.pi * f / rate
        frames += struct.pack("<h", int(12000 * math.sin(phase)))
    out.writeframes(bytes(frames))
PY
"$audio" --input "$work/sweep.wav" --seconds $((seconds + 4)) &
pid=$!
sleep 2 # start-up and the first FFT plan are not the steady state
ticks() { awk '{ print $14 + $15 }' "/proc/$pid/stat"; }
before=$(ticks)
sleep "$seconds"
after=$(ticks)
hz=$(getconf CLK_TCK)
awk -v t=$((after - before)) -v hz="$hz" -v s="$seconds" -v a="$audio" \
    'BEGIN { printf "%s: %d ticks of 1/%d s in %d s: %.2f %% of one core\n", a, t, hz, s, 100 * t / hz / s }'

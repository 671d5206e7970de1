#!/usr/bin/env bash
# Runs the lighting page session under Xvfb against the emulated keyboard and checks what the
# keyboard's memory holds afterwards: the static effect, green held to 255, the brightness
# and speed the sliders chose, and the painted key's colour in custom group 1.
#   scripts/check-lighting-session.sh [BUILD_DIR] [SHOT_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
bin=${1:-build/test}
shots=${2:-$bin/lighting-session}
mkdir -p "$shots"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export XDG_DATA_HOME="$work/data" XDG_CONFIG_HOME="$work/config" XDG_CACHE_HOME="$work/cache"
export XDG_RUNTIME_DIR="$work/runtime"
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
state="$work/keyboard.state"
"$bin/halvekctl" --simulate --sim-state "$state" apply > /dev/null
(cd "$shots" && xvfb-run -a -s "-screen 0 1920x1080x24" \
    "$root/$bin/halvek" --simulate --sim-state "$state" \
    --script "$root/scripts/sessions/lighting-page.txt")
settings=$("$bin/halvekctl" --simulate --sim-state "$state" read settings --json)
python3 - "$state" "$settings" <<'CHECK'
import json, sys
state = json.load(open(sys.argv[1]))
s = json.loads(sys.argv[2])
problems = []
expected = {"effect": 6, "red": 30, "green": 255, "blue": 255, "brightness": 2, "speed": 2,
            "CustomGroup": 1}
for key, value in expected.items():
    if s[key] != value:
        problems.append("%s %d, not %d" % (key, s[key], value))
print("slot record: " + ", ".join("%s %d" % (k, s[k]) for k in expected))
colours = bytes.fromhex(state["areas"]["colours"]).ljust(1024, b"\0")
group = colours[512:1024]
lit = [i // 3 for i in range(0, len(group) - 2, 3) if group[i:i + 3] != b"\0\0\0"]
painted = [led for led in lit if group[3 * led:3 * led + 3].hex() == "ff2d2d"]
print("custom group 1: %d LEDs lit, LED %s in the painted colour" % (len(lit), painted))
if len(painted) != 1:
    problems.append("custom group 1 should hold one key in the painted ff2d2d")
sys.exit("FAIL: " + "; ".join(problems) if problems else 0)
CHECK
ls "$shots"/lighting-*.png
echo "lighting session: ok"

#!/usr/bin/env bash
# The keyboard alone changes a colour and a key (keyboard-only.txt, no click), then the
# emulated keyboard's memory is read back: the slot record holds Static in the typed colour
# and the key map holds Ctrl+C where Esc was. Exit code 0 when both hold.
#   scripts/sessions/keyboard-only.sh BUILD_DIR OUT_DIR
set -euo pipefail
. "$(dirname "$0")/screen.sh"
here="$(cd "$(dirname "$0")" && pwd)"
bin="$(cd "${1:?build folder}" && pwd)"
out="$(mkdir -p "${2:?output folder}" && cd "$2" && pwd)"
rm -rf "$out/home" && mkdir -p "$out/home/runtime" && chmod 700 "$out/home/runtime"
export XDG_DATA_HOME="$out/home/data" XDG_CONFIG_HOME="$out/home/config"
export XDG_CACHE_HOME="$out/home/cache" XDG_RUNTIME_DIR="$out/home/runtime"
state="$out/keyboard.state"
rm -f "$state"
ctl() { "$bin/halvekctl" --simulate --sim-state "$state" "$@"; }
ctl apply > /dev/null
(cd "$out" && xvfb-run -a -s "-screen 0 $(xvfb_screen 1920x1080)" \
    "$bin/halvek" --simulate --sim-state "$state" --script "$here/keyboard-only.txt")
python3 - "$state" "$(ctl read settings --json)" <<'CHECK'
import json, sys
areas = json.load(open(sys.argv[1]))["areas"]
s = json.loads(sys.argv[2])
problems = []
for key, value in {"effect": 6, "red": 30, "green": 200, "blue": 100}.items():
    if s[key] != value:
        problems.append("%s %d, not %d" % (key, s[key], value))
print("slot record: " + ", ".join("%s %d" % (k, s[k]) for k in ("effect", "red", "green", "blue")))
keymap = bytes.fromhex(areas["keymap"])
slots = [i // 3 for i in range(0, len(keymap) - 2, 3) if keymap[i:i + 3] == bytes([0x20, 0x01, 0x06])]
print("key slots holding Ctrl+C:", slots)
if len(slots) != 1:
    problems.append("one key slot should hold Ctrl+C (20 01 06)")
sys.exit("FAIL: " + "; ".join(problems) if problems else 0)
CHECK
echo "keyboard-only session: ok (pictures in $out)"

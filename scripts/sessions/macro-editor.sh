#!/usr/bin/env bash
# A scripted session of the macro editor on a virtual display: a macro bound to a key with
# halvekctl, keys recorded into it through XTest while halvek runs macro-editor.txt, then
# the emulated keyboard's key map and macro memory read back.
#   scripts/sessions/macro-editor.sh BUILD_DIR OUT_DIR
set -euo pipefail
. "$(dirname "$0")/screen.sh"
here="$(cd "$(dirname "$0")" && pwd)"
bin="$(cd "${1:?build folder}" && pwd)"
out="$(mkdir -p "${2:?output folder}" && cd "$2" && pwd)"
rm -rf "$out/home" && mkdir -p "$out/home/runtime" && chmod 700 "$out/home/runtime"
export XDG_DATA_HOME="$out/home/data" XDG_CONFIG_HOME="$out/home/config"
export XDG_CACHE_HOME="$out/home/cache" XDG_RUNTIME_DIR="$out/home/runtime"
state="$out/keyboard.state"
rm -f "$state" "$out"/macro-*.png

ctl() { "$bin/halvekctl" --simulate --sim-state "$state" "$@"; }
ctl apply > /dev/null
ctl macro add
# F1 (position 2 of the picture) runs the new macro once.
ctl key set 2 macro:macro_1

cd "$out"
xvfb-run -a -s "-screen 0 $(xvfb_screen 1600x1000)" bash -c "
    '$bin/halvek' --simulate --sim-state '$state' --script '$here/macro-editor.txt' &
    app=\$!
    python3 '$here/xtest-keys.py' --after macro-recording.png 400 h:90:300 i:70:400 Shift_L:60:10 1:60:200
    wait \$app"
echo "== the recorded macro"
ctl macro show macro_1
echo "== the emulated keyboard after Apply: key slots running a macro, and its macro memory"
python3 - "$state" <<'PY'
import json, sys
areas = json.load(open(sys.argv[1]))["areas"]
keymap = bytes.fromhex(areas["keymap"])
print("key slots:", [(i // 3, keymap[i:i + 3].hex(" ")) for i in range(0, len(keymap), 3)
                     if keymap[i] in (0x70, 0x71)])
block = bytes.fromhex(areas["macros"])
total = block[2] | block[3] << 8
print("macro block (%d bytes):" % total, block[:total].hex(" "))
PY

# Sourced by the session scripts that read the emulated keyboard's memory from its state
# file, named by $state.
#   esc_slot_bytes    the three bytes the emulated keyboard's key map holds for the slot of
#                     Esc's factory code
esc_slot_bytes() {
    python3 - "$state" <<'PY'
import json, sys
areas = json.load(open(sys.argv[1]))["areas"]
keymap = bytes.fromhex(areas["keymap"])
layout = bytes.fromhex(areas["layout"]) if "layout" in areas else b""
slots = [i // 3 for i in range(0, len(layout) - 2, 3) if layout[i:i + 3] == bytes([0x20, 0, 0x29])]
if not slots:
    sys.exit("no slot holds Esc")
print(keymap[3 * slots[0]:3 * slots[0] + 3].hex(" "))
PY
}

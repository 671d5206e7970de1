#!/usr/bin/env bash
# The three journeys of edits a user must be able to trust, each a scripted session of halvek
# against the emulated keyboard on a virtual display, then checked on the profile files and
# the keyboard's memory: a key only applied is saved and written when closing asks (lost
# edit), a deleted profile's edits never land in an unlisted file (orphan file), and the
# combo names the shown profile, which Rename renames (blank combo). Exits 1 on a failed check.
#   scripts/sessions/journeys.sh BUILD_DIR OUT_DIR
# HALVEK_LANG=2052 runs them in Chinese; GDK_SCALE=2 at 200 %.
set -euo pipefail
. "$(dirname "$0")/screen.sh"
. "$(dirname "$0")/keyboard-state.sh"
here="$(cd "$(dirname "$0")" && pwd)"
bin="$(cd "${1:?build folder}" && pwd)"
out="$(mkdir -p "${2:?output folder}" && cd "$2" && pwd)"
failed=0
check() { # check WHAT COMMAND...: runs COMMAND, reports WHAT
    if "${@:2}"; then echo "ok: $1"; else echo "FAILED: $1" >&2; failed=1; fi
}

start() { # a fresh home, settings and keyboard for one journey
    home="$out/$1"
    rm -rf "$home" && mkdir -p "$home/runtime" "$home/config/SPhalvek2vizudi"
    chmod 700 "$home/runtime"
    export XDG_DATA_HOME="$home/data" XDG_CONFIG_HOME="$home/config"
    export XDG_CACHE_HOME="$home/cache" XDG_RUNTIME_DIR="$home/runtime"
    if [ -n "${HALVEK_LANG:-}" ]; then
        printf '# Halvek settings: one value per line, "int NAME=NUMBER" or "text NAME=TEXT".\nint LANGUAGE=%s\n' \
            "$HALVEK_LANG" > "$home/config/SPhalvek2vizudi/settings.conf"
    fi
    state="$home/keyboard.state"
    ctl apply > /dev/null
}
ctl() { "$bin/halvekctl" --simulate --sim-state "$state" "$@"; }
session() { # runs the script; its pictures land in the journey's folder, and all must be there
    (cd "$home" && xvfb-run -a -s "-screen 0 $(xvfb_screen 1600x1000)" \
        "$bin/halvek" --simulate --sim-state "$state" --script "$here/$1") || return 1
    local picture
    for picture in $(sed -n 's/^screenshot[a-z-]* //p' "$here/$1"); do
        [ -s "$home/$picture" ] || { echo "no $picture" >&2; return 1; }
    done
}
# Esc's code in the selected profile, as halvekctl reads it.
esc_code() { ctl key list | awk '$1 == "0" { print $2 }'; }
# Every profile file beside a profile list is named by that list's "profileUUID" entries.
no_unlisted_files() {
    python3 - "$XDG_DATA_HOME" <<'PY'
import json, pathlib, sys
lists = list(pathlib.Path(sys.argv[1]).rglob("ProfileList.ini"))
if not lists:
    sys.exit("no profile list")
for listed in lists:
    names = {entry.get("profileUUID") for entry in json.load(open(listed)).get("profilelist", [])
             if isinstance(entry, dict)}
    for file in listed.parent.glob("*.Json"):
        if file.stem not in names:
            sys.exit(f"{file} is in no list")
PY
}

echo "== lost edit"
start lost-edit
check "the session ran" session lost-edit.txt
check "the profile file holds Esc as Ctrl+C" test "$(esc_code)" = "0x200106"
check "the keyboard holds Esc as Ctrl+C" test "$(esc_slot_bytes)" = "20 01 06"

echo "== orphan file"
start orphan-file
ctl profile export "$home/imported.json" > /dev/null
ctl profile import "$home/imported.json" > /dev/null
check "the session ran" session orphan-file.txt
check "one profile is left" test "$(ctl profile list | grep -c .)" -eq 1
check "every profile file is listed" no_unlisted_files
check "the change is in the listed profile" test "$(esc_code)" = "0x200106"
check "the keyboard holds Esc as Ctrl+C" test "$(esc_slot_bytes)" = "20 01 06"

echo "== blank combo"
start blank-combo
name_at() { ctl profile list | sed -n "$(($1 + 1))p" | sed 's/^. *[0-9]*  //'; }
check "the session ran" session blank-combo.txt
# New leaves the view on the shown profile, and the combo names it: Rename renames that one.
check "the shown profile is renamed" test "$(name_at 0)" = Evening
check "the new profile keeps its name" test -n "$(name_at 1)" -a "$(name_at 1)" != Evening
check "every profile file is listed" no_unlisted_files

echo "pictures in $out/*/"
exit "$failed"

#!/usr/bin/env bash
# The mouse's DPI page end to end: halvek-devsim serves the emulated mouse, halvek runs
# scripts/sessions/mouse-dpi.txt against it on a virtual display, and the mouse's slot record
# is then read back through the same socket. Exit code 0 when the mouse holds what the page set.
#   scripts/sessions/mouse-dpi.sh BUILD_DIR OUT_DIR
# GDK_SCALE may be given in the environment, and LANGUAGE_ID=2052 for the Chinese texts.
set -euo pipefail
. "$(dirname "$0")/screen.sh"
here="$(cd "$(dirname "$0")" && pwd)"
bin="$(cd "${1:?build folder}" && pwd)"
out="$(mkdir -p "${2:?output folder}" && cd "$2" && pwd)"
rm -rf "$out/home" && mkdir -p "$out/home/runtime" && chmod 700 "$out/home/runtime"
export XDG_DATA_HOME="$out/home/data" XDG_CONFIG_HOME="$out/home/config"
export XDG_CACHE_HOME="$out/home/cache" XDG_RUNTIME_DIR="$out/home/runtime"
export HALVEK_SIM_SOCKET="$out/home/runtime/devsim.sock"
if [ -n "${LANGUAGE_ID:-}" ]; then
    mkdir -p "$XDG_CONFIG_HOME/SPhalvek2vizudi"
    echo "int LANGUAGE=$LANGUAGE_ID" > "$XDG_CONFIG_HOME/SPhalvek2vizudi/settings.conf"
fi
devsim=
cleanup() {
    exec 3>&- 2>/dev/null || true
    [ -n "$devsim" ] && kill "$devsim" 2> /dev/null || true
    wait 2> /dev/null || true
}
trap cleanup EXIT

rm -f "$out/home/devsim.in" && mkfifo "$out/home/devsim.in"
"$bin/halvek-devsim" --socket "$HALVEK_SIM_SOCKET" --device mouse < "$out/home/devsim.in" \
    > "$out/devsim.log" 2>&1 &
devsim=$!
exec 3> "$out/home/devsim.in"
for _ in $(seq 50); do [ -S "$HALVEK_SIM_SOCKET" ] && break; sleep 0.1; done

cd "$out"
xvfb-run -a -s "-screen 0 $(xvfb_screen 1920x1080)" \
    "$bin/halvek" --simulate=socket --script "$here/mouse-dpi.txt" > "$out/halvek.log" 2>&1 || {
    echo "FAIL: the session stopped"; tail -5 "$out/halvek.log"; exit 1; }

"$bin/halvekctl" --simulate=socket --device mouse read settings --json > "$out/mouse.json"
python3 - "$out/mouse.json" <<'PY'
import json, sys
held = json.load(open(sys.argv[1]))
stages = held["dpiStages"]
checks = [("stage 3 DPI", stages[2]["dpiX"], 2400), ("current stage", held["activeDpiStage"], 3),
          ("stage 5 on", stages[4]["enabled"], 0), ("report stage", held["reportStage"], 1)]
failed = [f"{name}: {got} (expected {want})" for name, got, want in checks if got != want]
for line in failed:
    print("FAIL", line)
print("mouse holds the page's DPI stages" if not failed else "")
sys.exit(1 if failed else 0)
PY

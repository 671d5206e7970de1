#!/usr/bin/env bash
# Runs a scripted session of halvek against the emulated keyboard on a virtual display,
# with scratch data, config, cache and runtime folders, and leaves its pictures in OUT.
#   scripts/run-session.sh scripts/sessions/update-and-music.txt [OUT]
set -euo pipefail
. "$(dirname "$0")/sessions/screen.sh"
cd "$(dirname "$0")/.."
root="$(pwd)"
session="$(realpath "$1")"
out="$(realpath -m "${2:-build/session}")"
bin=${HALVEK_BIN:-$root/build/release}
[ -x "$bin/halvek" ] || bin=$root/build/test
mkdir -p "$out"
export XDG_DATA_HOME="$out/data" XDG_CONFIG_HOME="$out/config" XDG_CACHE_HOME="$out/cache"
export XDG_RUNTIME_DIR="$out/runtime"
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
"$bin/halvekctl" --simulate --sim-state "$out/keyboard.state" apply > /dev/null
cd "$out"
xvfb-run -a -s "-screen 0 $(xvfb_screen 1920x1080)" \
    "$bin/halvek" --simulate --sim-state "$out/keyboard.state" --script "$session"
echo "pictures in $out"

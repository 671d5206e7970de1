#!/usr/bin/env bash
# halvek-devsim.exe serves its emulated keyboard over its named pipe, under Wine, and
# halvekctl.exe --simulate=socket lists and configures it there as on Linux: the listing
# names the served interfaces, an apply writes every step, control lines reach the server
# after it (a channel's end must not stop the server listening) and "quit" ends it.
# Usage: windows_device_server.sh HALVEK_DEVSIM_EXE HALVEKCTL_EXE
set -euo pipefail
devsim="$1"
halvekctl="$2"
scratch="$(mktemp -d)"
server=""
keeper=""
cleanup() {
    for pid in $server $keeper; do kill "$pid" 2>/dev/null || true; done
    rm -rf "$scratch"
}
trap cleanup EXIT
mkdir -p "$scratch/home" "$scratch/data"
export APPDATA="Z:$scratch/home" LOCALAPPDATA="Z:$scratch/home"
export HALVEK_SIM_SOCKET="Z:$scratch/devsim.sock"

# Its stdin stays open, as a served keyboard's does in a terminal; the keeper holds no
# output of ours, so ctest does not wait for it.
mkfifo "$scratch/stdin"
sleep 600 > "$scratch/stdin" 2>/dev/null &
keeper=$!
wine "$devsim" < "$scratch/stdin" > "$scratch/server.out" 2>&1 &
server=$!
for _ in $(seq 1 120); do
    grep -q "serving on" "$scratch/server.out" 2>/dev/null && break
    sleep 0.5
done
grep -q "serving on" "$scratch/server.out" || { echo "the server did not start:"; cat "$scratch/server.out"; exit 1; }

fail() { echo "$1"; echo "--- server:"; tr -d '\r' < "$scratch/server.out"; exit 1; }
wine "$halvekctl" --simulate=socket devices | tr -d '\r' > "$scratch/devices.out"
grep -q '#sock&' "$scratch/devices.out" || fail "no served interface listed: $(cat "$scratch/devices.out")"
wine "$halvekctl" --simulate=socket apply --data-dir "Z:$scratch/data" | tr -d '\r' \
    > "$scratch/apply.out" || fail "apply failed: $(cat "$scratch/apply.out")"
grep -q '^total' "$scratch/apply.out" || fail "apply printed no total: $(cat "$scratch/apply.out")"
for line in sleep wake; do
    answer="$(wine "$devsim" ctl "$line" | tr -d '\r')" || fail "ctl $line failed after the apply"
    [ -n "$answer" ] || fail "ctl $line had no answer"
done
[ "$(wine "$devsim" ctl quit | tr -d '\r')" = "bye" ] || fail "ctl quit was not answered"
for _ in $(seq 1 60); do
    kill -0 "$server" 2>/dev/null || break
    sleep 0.5
done
kill -0 "$server" 2>/dev/null && fail "the server did not end after quit"
echo "served, listed, applied, controlled and quit over the named pipe"

#!/usr/bin/env bash
# One keyboard shared by a live lighting stream and `halvekctl apply` runs, on one
# halvek-devsim. Prints, measured in this one run:
#   - the stream's frame rate alone and with applies looping beside it (and their ratio);
#   - an apply's time alone and beside the stream (and their ratio);
#   - the matrix: RUNS applies started together beside the stream; each must succeed with
#     the device's key map, slot record and colours byte-identical to a run alone, or fail
#     naming the program that holds the device. Any other outcome is counted as corrupted.
# The stream is `halvekctl light run`, the window's own live stream in a shell.
# Usage: scripts/measure-sharing.sh [RUNS (20)] [STREAM_SECONDS (6)]
set -euo pipefail
runs=${1:-20}
seconds=${2:-6}
bin=${HALVEK_BIN:-build/release}
[ -x "$bin/halvekctl" ] || bin=build/test
scratch=$(mktemp -d)
server_pid=
cleanup() {
    [ -n "$server_pid" ] && kill "$server_pid" 2>/dev/null || true
    rm -rf "$scratch"
}
trap cleanup EXIT
mkdir -m 700 "$scratch/run"
export HALVEK_SIM_SOCKET="$scratch/devsim.sock" XDG_RUNTIME_DIR="$scratch/run"
"$bin/halvek-devsim" </dev/null >"$scratch/server.log" 2>&1 &
server_pid=$!
for _ in $(seq 50); do [ -S "$HALVEK_SIM_SOCKET" ] && break; sleep 0.1; done
ctl() { "$bin/halvek-devsim" ctl "$@"; }
ctl timing on >/dev/null
data="--data-dir $scratch/data"
apply() { "$bin/halvekctl" --simulate=socket apply $data; }
stream() { "$bin/halvekctl" --simulate=socket light run --mode 4 --seconds "$1" $data; }
rate() { sed -n 's/^frames sent *[0-9]* (\([0-9.]*\) per second).*/\1/p'; }
total_ms() { sed -n 's/^total .* \([0-9.]*\) ms$/\1/p'; }
written() { ctl dump keymap; ctl dump settings; ctl dump colours; }

apply >/dev/null
alone_bytes=$(written)
apply_alone=$(apply | total_ms)
stream_alone=$(stream "$seconds" | rate)

# Applies looping beside the stream, one after the other.
stream "$seconds" >"$scratch/beside.txt" &
stream_pid=$!
: >"$scratch/apply-times.txt"
while kill -0 "$stream_pid" 2>/dev/null; do
    apply 2>/dev/null | total_ms >>"$scratch/apply-times.txt" || true
done
wait "$stream_pid"
stream_beside=$(rate <"$scratch/beside.txt")
apply_beside=$(awk '{ s += $1; n++ } END { if (n) printf "%.1f", s / n; else print 0 }' \
    "$scratch/apply-times.txt")

# The matrix: RUNS applies started together beside the stream.
stream "$seconds" >/dev/null &
stream_pid=$!
pids=()
for i in $(seq "$runs"); do
    # A failed apply must still leave its status (set -e would end the subshell first).
    ( rc=0; apply >"$scratch/run-$i.txt" 2>&1 || rc=$?; echo "$rc" >"$scratch/run-$i.rc" ) &
    pids+=($!)
done
wait "${pids[@]}" "$stream_pid"
ok=0 refused=0 other=0
for i in $(seq "$runs"); do
    rc=$(cat "$scratch/run-$i.rc")
    if [ "$rc" = 0 ]; then ok=$((ok + 1))
    elif grep -q "device held by .*(pid " "$scratch/run-$i.txt"; then refused=$((refused + 1))
    else other=$((other + 1)); sed "s/^/run $i: /" "$scratch/run-$i.txt" >&2; fi
done
corrupted=0
[ "$(written)" = "$alone_bytes" ] || corrupted=1

printf 'stream alone         %8.1f frames/s\n' "$stream_alone"
printf 'stream beside apply  %8.1f frames/s   ratio %.2f\n' "$stream_beside" \
    "$(awk -v a="$stream_beside" -v b="$stream_alone" 'BEGIN { print b ? a / b : 0 }')"
printf 'apply alone          %8.1f ms\n' "$apply_alone"
printf 'apply beside stream  %8.1f ms         ratio %.2f\n' "$apply_beside" \
    "$(awk -v a="$apply_beside" -v b="$apply_alone" 'BEGIN { print b ? a / b : 0 }')"
printf 'matrix: %d applies beside the stream: %d succeeded, %d refused naming the holder, %d failed otherwise; device bytes %s\n' \
    "$runs" "$ok" "$refused" "$other" "$([ $corrupted = 0 ] && echo 'as a run alone' || echo CORRUPTED)"
[ "$corrupted" = 0 ]

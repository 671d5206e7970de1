#!/usr/bin/env bash
# The Windows halvekctl (under Wine) sends exactly the frames the Linux one sends and
# prints the same steps: both apply the factory profile to a fresh emulated keyboard with
# --trace. The frame lines (and the command and reply marks between them) must match byte
# for byte; the step lines too, but for their times. Debug lines are left aside: they name
# each system's own paths. Wine's CR LF line ends are read as LF.
# Usage: windows_trace_parity.sh LINUX_HALVEKCTL WINDOWS_HALVEKCTL_EXE
set -euo pipefail
linux_program="$1"
windows_program="$2"
scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
mkdir -p "$scratch/linux/data" "$scratch/linux/home" "$scratch/windows/data" "$scratch/windows/home"

XDG_DATA_HOME="$scratch/linux/home" XDG_CONFIG_HOME="$scratch/linux/home" \
XDG_CACHE_HOME="$scratch/linux/home" \
    "$linux_program" --simulate --trace apply --data-dir "$scratch/linux/data" \
    > "$scratch/linux.out"
APPDATA="Z:$scratch/windows/home" LOCALAPPDATA="Z:$scratch/windows/home" \
    wine "$windows_program" --simulate --trace apply --data-dir "Z:$scratch/windows/data" \
    | tr -d '\r' > "$scratch/windows.out"

status=0
for system in linux windows; do
    grep -E '^[0-9a-f]{2}( |$)|^命令$|^返回$' "$scratch/$system.out" > "$scratch/$system.frames" || true
    grep -E ' frames ' "$scratch/$system.out" | sed -E 's/ +[0-9]+\.[0-9]+ ms/ ms/' \
        > "$scratch/$system.steps" || true
done
if [ ! -s "$scratch/linux.frames" ] || [ ! -s "$scratch/linux.steps" ]; then
    echo "the Linux halvekctl traced no frames or steps"
    exit 1
fi
for part in frames steps; do
    if ! cmp -s "$scratch/linux.$part" "$scratch/windows.$part"; then
        echo "the Windows $part differ from the Linux ones:"
        diff "$scratch/linux.$part" "$scratch/windows.$part" | head -n 40
        status=1
    fi
done
[ "$status" -eq 0 ] && echo "same frames ($(wc -l < "$scratch/linux.frames") lines) and steps"
exit "$status"

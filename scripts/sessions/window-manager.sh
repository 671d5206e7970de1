#!/usr/bin/env bash
# What the window manager's own doings do to the program, under openbox with the emulated
# keyboard (the steps are window-manager.txt): "Your image…" in the skin popup opens the own
# file dialog, which outlives the popup's close on losing the focus, and a picture too large to
# show is refused in a prompt; then, with a key changed and not written, the window manager's
# close (wmctrl -c) asks, is cancelled and the program runs on, and its Alt+F4 asks again and
# "Save and write" puts the key on the keyboard. The screen with the first question is
# wm-close-screen.png. Exit code 0 when all hold.
#   scripts/sessions/window-manager.sh BUILD_DIR OUT_DIR
set -euo pipefail
. "$(dirname "$0")/screen.sh"
. "$(dirname "$0")/keyboard-state.sh"
here="$(cd "$(dirname "$0")" && pwd)"
bin="$(cd "${1:?build folder}" && pwd)"
out="$(mkdir -p "${2:?output folder}" && cd "$2" && pwd)"
rm -rf "$out/home" && mkdir -p "$out/home/runtime" && chmod 700 "$out/home/runtime"
rm -f "$out"/*.png
export XDG_DATA_HOME="$out/home/data" XDG_CONFIG_HOME="$out/home/config"
export XDG_CACHE_HOME="$out/home/cache" XDG_RUNTIME_DIR="$out/home/runtime"
# The program's own file dialog, starting in HOME, where the oversized picture waits: its
# header says 30000 x 30000.
export HALVEK_FILE_CHOOSER=own
printf '\211PNG\r\n\032\n\0\0\0\rIHDR\0\0\165\060\0\0\165\060\010\006\0\0\0' > "$out/home/huge.png"
state="$out/keyboard.state"
ctl() { "$bin/halvekctl" --simulate --sim-state "$state" "$@"; }
ctl apply > /dev/null

cd "$out"
status=0
xvfb-run -a -s "-screen 0 $(xvfb_screen 1600x1000)" bash -c "
    set -u
    openbox --sm-disable > '$out/openbox.log' 2>&1 & wm=\$!
    until wmctrl -m > /dev/null 2>&1; do sleep 0.1; done
    HOME='$out/home' '$bin/halvek' --simulate --sim-state '$state' \
        --script '$here/window-manager.txt' & app=\$!
    failed=0
    # Waits for the script's picture FILE while the program runs; false when it ended first.
    after() {
        for _ in \$(seq 600); do
            [ -s \"\$1\" ] && return 0
            kill -0 \$app 2> /dev/null || { echo \"FAIL the program ended before \$1\"; return 1; }
            sleep 0.1
        done
        echo \"FAIL no \$1 within a minute\"; return 1
    }
    main() { wmctrl -l | awk '/ SPhalvek2vizudi\$/ { print \$1; exit }'; }
    if after wm-close-unsaved.png; then
        wmctrl -i -c \"\$(main)\"
        if after wm-close-prompt.png; then
            python3 '$here/xshot.py' wm-close-screen.png
            sleep 2
            kill -0 \$app 2> /dev/null || { echo 'FAIL the program ended at the close'; failed=1; }
        else
            failed=1
        fi
        if after wm-close-kept.png; then
            [ -n \"\$(main)\" ] || { echo 'FAIL the main window is gone'; failed=1; }
            wmctrl -i -a \"\$(main)\"
            sleep 0.5
            python3 '$here/xtest-keys.py' 0 Alt_L+F4
        else
            failed=1
        fi
    else
        failed=1
    fi
    wait \$app || { echo \"FAIL the program's exit code \$?\"; failed=1; }
    kill \$wm
    exit \$failed" || status=1

for picture in $(sed -n 's/^screenshot[a-z-]* //p' "$here/window-manager.txt") wm-close-screen.png; do
    [ -s "$out/$picture" ] || { echo "FAIL no $picture"; status=1; }
done
code="$(ctl key list | awk '$1 == "0" { print $2 }')"
[ "$code" = 0x200106 ] || { echo "FAIL the profile holds Esc as $code, not Ctrl+C"; status=1; }
bytes="$(esc_slot_bytes)"
[ "$bytes" = "20 01 06" ] || { echo "FAIL the keyboard holds $bytes for Esc, not Ctrl+C"; status=1; }
echo "pictures in $out"
exit "$status"

#!/usr/bin/env bash
# Settings, the skin popup, About, the colour window and the own file dialog under a real
# window manager (openbox): each must be owned by the main window (WM_TRANSIENT_FOR), be a
# dialog, stack above it and close with Esc; the main window's WM_CLASS must be the .desktop
# file's StartupWMClass. Exit code 0 when all hold.
#   scripts/sessions/owned-dialogs.sh BUILD_DIR OUT_DIR
# GDK_SCALE and HALVEK_LANGUAGE (with the titles in that language) can be given in the environment.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
root="$(cd "$here/../.." && pwd)"
bin="$(cd "${1:?build folder}" && pwd)"
out="$(mkdir -p "${2:?output folder}" && cd "$2" && pwd)"
rm -rf "$out/home" && mkdir -p "$out/home/runtime" && chmod 700 "$out/home/runtime"
export XDG_DATA_HOME="$out/home/data" XDG_CONFIG_HOME="$out/home/config"
export XDG_CACHE_HOME="$out/home/cache" XDG_RUNTIME_DIR="$out/home/runtime"
# The program's own file dialog is the one under test, not a desktop's chooser.
export HALVEK_FILE_CHOOSER=own
state="$out/keyboard.state"
"$bin/halvekctl" --simulate --sim-state "$state" apply > /dev/null
# HALVEK_LANGUAGE=2052 runs in Chinese (give the *_TITLE names in Chinese then).
if [ -n "${HALVEK_LANGUAGE:-}" ]; then
    mkdir -p "$XDG_CONFIG_HOME/SPhalvek2vizudi"
    printf 'int LANGUAGE=%s\n' "$HALVEK_LANGUAGE" > "$XDG_CONFIG_HOME/SPhalvek2vizudi/settings.conf"
fi
wmclass="$(sed -n 's/^StartupWMClass=//p' "$root/packaging/desktop/org.halvek.Halvek.desktop")"

cd "$out"
xvfb-run -a -s "-screen 0 1920x1080x24" bash -c "
    set -u
    openbox --sm-disable > '$out/openbox.log' 2>&1 & wm=\$!
    until wmctrl -m > /dev/null 2>&1; do sleep 0.1; done
    '$bin/halvek' --simulate --sim-state '$state' --script '$here/owned-dialogs.txt' & app=\$!
    failed=0
    check() {
        local title=\$1 dialog='' main=''
        for _ in \$(seq 50); do
            dialog=\$(wmctrl -l | awk -v t=\"\$title\" '{ \$1=\$1 } \$0 ~ (\" \" t \"\$\") { print \$1; exit }')
            [ -n \"\$dialog\" ] && break
            sleep 0.1
        done
        main=\$(wmctrl -l | awk '/ SPhalvek2vizudi\$/ { print \$1; exit }')
        if [ -z \"\$dialog\" ] || [ -z \"\$main\" ]; then
            echo \"FAIL \$title: window not listed\"; wmctrl -l; failed=1; return
        fi
        owner=\$(xprop -id \"\$dialog\" WM_TRANSIENT_FOR | sed -n 's/.*window id # //p')
        type=\$(xprop -id \"\$dialog\" _NET_WM_WINDOW_TYPE | sed 's/.*= //')
        stacking=\$(xprop -root _NET_CLIENT_LIST_STACKING | sed 's/.*# //; s/,//g')
        pos() { local i=0; for w in \$stacking; do [ \$((w)) -eq \$((\$1)) ] && echo \$i; i=\$((i + 1)); done; }
        echo \"\$title: owner \$owner (main \$main), type \$type, stacking index \$(pos \$dialog) over \$(pos \$main)\"
        [ \$((owner)) -eq \$((main)) ] || { echo \"FAIL \$title: not owned by the main window\"; failed=1; }
        [ \"\$type\" = _NET_WM_WINDOW_TYPE_DIALOG ] || { echo \"FAIL \$title: not a dialog\"; failed=1; }
        [ \"\$(pos \$dialog)\" -gt \"\$(pos \$main)\" ] || { echo \"FAIL \$title: below the main window\"; failed=1; }
        class=\$(xprop -id \"\$main\" WM_CLASS | sed 's/.*= //')
        case \"\$class\" in *'\"$wmclass\"'*) ;; *) echo \"FAIL WM_CLASS \$class is not $wmclass\"; failed=1 ;; esac
    }
    gone() {
        for _ in \$(seq 50); do
            wmctrl -l | awk -v t=\"\$1\" '{ \$1=\$1 } \$0 ~ (\" \" t \"\$\") { found=1 } END { exit !found }' || return 0
            sleep 0.1
        done
        echo \"FAIL \$1: still open after Esc\"; failed=1
    }
    for title in \"\${SETTINGS_TITLE:-Settings}\" \"\${SKIN_TITLE:-Skin}\" \"\${ABOUT_TITLE:-About}\" \\
                 \"\${COLOUR_TITLE:-Colour}\" \"\${IMPORT_TITLE:-Import macro}\"; do
        check \"\$title\"
        gone \"\$title\"
    done
    wait \$app || failed=1
    kill \$wm
    exit \$failed"
echo "pictures in $out"

#!/usr/bin/env bash
# Settings, the skin popup, About, the colour window and the own file dialog under a real
# window manager (openbox): each must be owned by the main window (WM_TRANSIENT_FOR), be a
# dialog, stack above it and close with Esc; the main window's WM_CLASS must be the .desktop
# file's StartupWMClass. The tray menu and the macro action menu must be owned pop-up menus,
# the tray menu at the pointer, closed by a real Esc, by a real click on the main window and
# by a real click on the bare desktop. The program ends with a menu open and must still exit
# cleanly (under the sanitizer build: nothing leaked). Exit code 0 when all hold.
#   scripts/sessions/owned-dialogs.sh BUILD_DIR OUT_DIR
# GDK_SCALE and HALVEK_LANGUAGE (1033 English, 2052 Chinese) can be given in the environment;
# the window titles checked are that language's, read from the language tables.
set -euo pipefail
. "$(dirname "$0")/screen.sh"
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
# The texts of the ids given, one a line, in the run's language.
language_texts() {
    python3 - "$root/data" "${HALVEK_LANGUAGE:-1033}" "$@" <<'PY'
import json, sys, xml.etree.ElementTree as tree
data, language, ids = sys.argv[1], int(sys.argv[2]), sys.argv[3:]
with open(f"{data}/DefaultData/Language.config", encoding="utf-8-sig") as config:
    entries = json.load(config)["Language"]
name = next(e["Language_file"] for e in entries if e["Language_ID"] == language)
texts = {t.get("id"): t.get("value") for t in tree.parse(f"{data}/skin/{name}").iter("Text")}
print("\n".join(texts[i] for i in ids))
PY
}
mapfile -t titles < <(language_texts set_title_text skin_tip_text about_title_text \
                                    color_title_text file_import_macro_title)
[ "${#titles[@]}" -eq 5 ] || { echo "the window titles are not in the language tables"; exit 1; }
export SETTINGS_TITLE="${SETTINGS_TITLE:-${titles[0]}}" SKIN_TITLE="${SKIN_TITLE:-${titles[1]}}"
export ABOUT_TITLE="${ABOUT_TITLE:-${titles[2]}}" COLOUR_TITLE="${COLOUR_TITLE:-${titles[3]}}"
export IMPORT_TITLE="${IMPORT_TITLE:-${titles[4]}}"

cd "$out"
xvfb-run -a -s "-screen 0 $(xvfb_screen 1920x1080)" bash -c "
    set -u
    openbox --sm-disable > '$out/openbox.log' 2>&1 & wm=\$!
    until wmctrl -m > /dev/null 2>&1; do sleep 0.1; done
    # Where the tray menu must open, set before the program starts: on a busy machine these
    # checks can fall behind the script, which opens the menu at its own pace.
    python3 '$here/xtest-pointer.py' move 1500 900
    '$bin/halvek' --simulate --sim-state '$state' --script '$here/owned-dialogs.txt' & app=\$!
    failed=0
    check() {
        local title=\$1 dialog='' main=''
        for _ in \$(seq 50); do
            dialog=\$(wmctrl -u -l | awk -v t=\"\$title\" '{ \$1=\$1 } \$0 ~ (\" \" t \"\$\") { print \$1; exit }')
            [ -n \"\$dialog\" ] && break
            sleep 0.1
        done
        main=\$(wmctrl -u -l | awk '/ SPhalvek2vizudi\$/ { print \$1; exit }')
        if [ -z \"\$dialog\" ] || [ -z \"\$main\" ]; then
            echo \"FAIL \$title: window not listed\"; wmctrl -u -l; failed=1; return
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
            wmctrl -u -l | awk -v t=\"\$1\" '{ \$1=\$1 } \$0 ~ (\" \" t \"\$\") { found=1 } END { exit !found }' || return 0
            sleep 0.1
        done
        echo \"FAIL \$1: still open after Esc\"; failed=1
    }
    for title in \"\$SETTINGS_TITLE\" \"\$SKIN_TITLE\" \"\$ABOUT_TITLE\" \"\$COLOUR_TITLE\" \"\$IMPORT_TITLE\"; do
        check \"\$title\"
        gone \"\$title\"
    done
    # A menu: owned by the main window, typed as a pop-up menu; prints its geometry.
    menu() {
        local id=''
        for _ in \$(seq 80); do
            id=\$(xwininfo -root -tree | awk '/\"menu\"/ { print \$1; exit }')
            # Shown, so placed: it exists, unmapped at 0,0, a moment before.
            [ -n \"\$id\" ] && xwininfo -id \"\$id\" 2> /dev/null | grep -q IsViewable && break
            sleep 0.1
        done
        if [ -z \"\$id\" ]; then echo \"FAIL \$1 menu: not shown\"; failed=1; return 1; fi
        main=\$(wmctrl -u -l | awk '/ SPhalvek2vizudi\$/ { print \$1; exit }')
        owner=\$(xprop -id \"\$id\" WM_TRANSIENT_FOR | sed -n 's/.*window id # //p')
        type=\$(xprop -id \"\$id\" _NET_WM_WINDOW_TYPE | sed 's/.*= //')
        geometry \"\$id\"
        echo \"\$1 menu: owner \$owner (main \$main), type \$type, at \$x,\$y size \$w x \$h\"
        [ \$((owner)) -eq \$((main)) ] || { echo \"FAIL \$1 menu: not owned by the main window\"; failed=1; }
        [ \"\$type\" = _NET_WM_WINDOW_TYPE_POPUP_MENU ] || { echo \"FAIL \$1 menu: not a pop-up menu\"; failed=1; }
        menu_id=\$id
    }
    geometry() {
        local info; info=\$(xwininfo -id \"\$1\")
        x=\$(echo \"\$info\" | awk '/Absolute upper-left X/ { print \$4 }')
        y=\$(echo \"\$info\" | awk '/Absolute upper-left Y/ { print \$4 }')
        w=\$(echo \"\$info\" | awk '/Width:/ { print \$2 }')
        h=\$(echo \"\$info\" | awk '/Height:/ { print \$2 }')
    }
    menu_gone() {
        for _ in \$(seq 50); do
            xwininfo -id \"\$menu_id\" > /dev/null 2>&1 || return 0
            xwininfo -id \"\$menu_id\" | grep -q 'IsViewable' || return 0
            sleep 0.1
        done
        echo \"FAIL \$1 menu: still open\"; failed=1
    }
    # The tray menu opens up and to the left of the pointer, as from a panel at the bottom.
    python3 '$here/xtest-pointer.py' move 1500 900
    if menu tray; then
        [ \$((x + w)) -eq 1500 ] && [ \$((y + h)) -eq 900 ] ||
            { echo \"FAIL tray menu: its corner is not at the pointer (1500,900)\"; failed=1; }
        sleep 3
        python3 '$here/xtest-keys.py' 0 Escape
        menu_gone tray
    fi
    # The action menu opens over the main window, and a click elsewhere on it (the status
    # line's left end, away from the caption, which drags, and from the menu, which at this
    # scale reaches down over the status line's middle) closes it.
    if menu action; then
        geometry \"\$main\"
        sleep 3
        python3 '$here/xtest-pointer.py' click \$((x + 12)) \$((y + h - 8))
        menu_gone action
    fi
    # The tray menu again: a click on the bare desktop, beside the main window, closes it.
    if menu desktop; then
        sleep 3
        python3 '$here/xtest-pointer.py' click 20 20
        menu_gone desktop
    fi
    # The script ends the program with the tray menu open once more: it must exit cleanly.
    wait \$app || { echo \"FAIL the program's exit (see above)\"; failed=1; }
    kill \$wm
    exit \$failed"
echo "pictures in $out"

# Sourced by the session scripts: the virtual screen for a run. The main window takes the
# largest scale step the screen has room for, so a run at GDK_SCALE=2 gets a screen where
# the whole window fits at 200 % (2000 x 1280 and its frame); other runs keep the size given.
#   xvfb_screen WIDTHxHEIGHT    prints "WIDTHxHEIGHTx24"
xvfb_screen() {
    if [ "${GDK_SCALE:-1}" -ge 2 ] 2> /dev/null; then
        echo "2560x1440x24"
    else
        echo "$1x24"
    fi
}

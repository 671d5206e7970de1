#!/usr/bin/env bash
# Installs the build into a scratch prefix, builds the Debian package, unpacks it into a
# scratch root (dpkg -x) and runs halvekctl from there: it must find its factory data in
# the unpacked share/halvek, not in the build folder.
# Usage: install_test.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
build=$(realpath "$1")
source=$(realpath "$2")
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

expect_files() {
    local root=$1
    for file in bin/halvekctl bin/halvek-devsim \
        share/halvek/DefaultData/keyboard.Json share/halvek/skin/res.xml \
        share/applications/org.halvek.Halvek.desktop \
        share/metainfo/org.halvek.Halvek.metainfo.xml \
        share/icons/hicolor/scalable/apps/org.halvek.Halvek.svg \
        share/icons/hicolor/48x48/apps/org.halvek.Halvek.png \
        share/icons/hicolor/256x256/apps/org.halvek.Halvek.png \
        share/man/man1/halvek.1.gz share/man/man1/halvekctl.1.gz \
        share/man/man1/halvek-devsim.1.gz lib/udev/rules.d/70-halvek.rules; do
        [ -e "$root/$file" ] || fail "$root/$file is missing"
    done
    if [ -e "$build/halvek" ]; then
        [ -x "$root/bin/halvek" ] || fail "$root/bin/halvek is missing"
    fi
}

# A private home and runtime folder: nothing of the user's is read or written.
run_ctl() {
    local program=$1
    shift
    HOME="$scratch/home" XDG_RUNTIME_DIR="$scratch/run" XDG_DATA_HOME="$scratch/data-$RANDOM" \
        XDG_CONFIG_HOME="$scratch/config" "$program" "$@"
}
mkdir -p "$scratch/home" "$scratch/run" "$scratch/config"
chmod 700 "$scratch/run"

echo "== cmake --install into a scratch prefix"
cmake --install "$build" --prefix "$scratch/prefix" >/dev/null
expect_files "$scratch/prefix"
desktop-file-validate "$scratch/prefix/share/applications/org.halvek.Halvek.desktop"
appstreamcli validate --no-net "$scratch/prefix/share/metainfo/org.halvek.Halvek.metainfo.xml" >/dev/null

echo "== cpack"
(cd "$scratch" && cpack --config "$build/CPackConfig.cmake" -G DEB -B "$scratch/package" >/dev/null)
deb=$(ls "$scratch"/package/halvek_*.deb) || fail "no package was built"
depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
for package in libc6 libstdc++6 libhidapi-hidraw0 libjsoncpp25 fonts-noto-core fonts-wqy-microhei; do
    grep -q "$package" <<<"$depends" || fail "the package does not depend on $package"
done
dpkg-deb -c "$deb" >"$scratch/contents"
grep -q "./usr/lib/udev/rules.d/70-halvek.rules" "$scratch/contents" ||
    fail "the package lacks the udev rule"

echo "== dpkg -x and run"
dpkg -x "$deb" "$scratch/root"
expect_files "$scratch/root/usr"
listing=$(run_ctl "$scratch/root/usr/bin/halvekctl" --simulate devices)
grep -q "^36b0 5078 01 04  ff1c 0092" <<<"$listing" || fail "no emulated keyboard: $listing"

# The factory profile read through the unpacked share/halvek gives the same lighting as
# the build folder's copy; a program that misses its data falls back to zeros.
installed=$(run_ctl "$scratch/root/usr/bin/halvekctl" --simulate light show)
expected=$(run_ctl "$build/halvekctl" --simulate light show)
[ "$installed" = "$expected" ] || fail "installed halvekctl read other factory data:
$installed
expected:
$expected"
cp "$scratch/root/usr/bin/halvekctl" "$scratch/home/"
without=$(run_ctl "$scratch/home/halvekctl" --simulate light show)
[ "$installed" != "$without" ] || fail "factory data made no difference; the check proves nothing"
# The language is remembered in the user's settings file, which the program creates on
# its first choice: nothing has to be installed for it. An unpacked package and an empty
# home show it.
if [ -x "$scratch/root/usr/bin/halvek" ]; then
    echo "== the installed program keeps the language chosen"
    printf '%s\n' "wait setbtn" "click setbtn" "wait Language_combox_info" \
        "select Language_combox_info 1" "click laterbtn" "quit" >"$scratch/choose.txt"
    printf '%s\n' "wait no_device_title" "expect no_device_title 未连接设备" "quit" \
        >"$scratch/check.txt"
    [ ! -e "$scratch/config/SPhalvek2vizudi/settings.conf" ] || fail "the home is not empty"
    for step in choose check; do
        run_ctl timeout 120 "$scratch/root/usr/bin/halvek" --offscreen \
            --script "$scratch/$step.txt" >"$scratch/$step.log" 2>&1 ||
            fail "halvek --script $step.txt: $(tail -n 20 "$scratch/$step.log")"
    done
fi
echo "PASS"

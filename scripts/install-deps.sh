#!/usr/bin/env bash
# Installs every Debian 12 package the project needs to build, run and test, and unpacks
# the Debian sources the Windows cross build compiles.
# Idempotent: when everything is present it does nothing and needs no network.
# HALVEK_APT_SOURCES_DIR and HALVEK_DEB_SRC_CACHE move its folders (the script's own test).
set -euo pipefail

packages=(
    # build
    build-essential cmake ninja-build pkg-config clang-format ccache
    # fuzzing (libFuzzer comes with clang)
    clang libclang-rt-14-dev
    # libraries
    libhidapi-dev libjsoncpp-dev libcairo2-dev libpango1.0-dev libsdl2-dev
    libpugixml-dev libcurl4-openssl-dev libfontconfig-dev libsystemd-dev libx11-dev libudev-dev
    libxi-dev librsvg2-dev ca-certificates
    # the emulated devices as hidraw nodes: FUSE files in a private namespace
    libfuse3-dev fuse3
    # the audio companion: sound server capture and FFT
    libpulse-dev libfftw3-dev
    # packaging: icons, validators, the Debian package
    librsvg2-bin desktop-file-utils appstream dpkg-dev file
    # tests and benchmarks
    libgtest-dev libgmock-dev libbenchmark-dev xvfb xauth dbus-daemon libxtst-dev
    # scripted sessions under a real window manager: stacking and owner hints
    openbox wmctrl x11-utils
    # the HTTPS test service and its certificates
    python3 openssl
    # fonts for Latin, Simplified Chinese and Thai text
    fonts-noto-core fonts-wqy-microhei fontconfig
    # the Windows cross build and its tests under Wine
    g++-mingw-w64-x86-64-posix mingw-w64-tools wine wine64
)
# jsoncpp's and pugixml's sources for the Windows cross build, from Debian's source
# packages of the same suites as the binary ones.
source_packages=(libjsoncpp pugixml)

sources_dir="${HALVEK_APT_SOURCES_DIR:-/etc/apt/sources.list.d}"
source_list="$sources_dir/halvek-deb-src.sources"
binary_list="$sources_dir/debian.sources"
source_cache="${HALVEK_DEB_SRC_CACHE:-$(cd "$(dirname "$0")/.." && pwd)/build/deb-src}"

sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
    sudo_cmd=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive

step() { echo "install-deps: $*"; }
# A failing apt-get has said why above; this names the step it stopped.
run() {
    local status=0
    "$@" || status=$?
    if [ "$status" -ne 0 ]; then
        echo "install-deps: '$*' failed (exit $status); nothing after it was done" >&2
        exit "$status"
    fi
}

missing=()
for package in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$package")
    fi
done

unpacked() {
    compgen -G "$source_cache/$1-*/CMakeLists.txt" > /dev/null \
        || compgen -G "$source_cache/${1#lib}-*/CMakeLists.txt" > /dev/null
}
unfetched=()
for source_package in "${source_packages[@]}"; do
    unpacked "$source_package" || unfetched+=("$source_package")
done

# apt-get source needs the deb-src list in place before the one update that follows.
if [ ! -f "$source_list" ]; then
    [ -f "$binary_list" ] || { echo "install-deps: no $binary_list to take the deb-src suites from" >&2; exit 1; }
    step "adding the deb-src list $source_list"
    sed 's/^Types: deb$/Types: deb-src/' "$binary_list" | run "${sudo_cmd[@]}" tee "$source_list" > /dev/null
fi

if [ ${#missing[@]} -gt 0 ] || [ ${#unfetched[@]} -gt 0 ]; then
    step "updating the package lists"
    run "${sudo_cmd[@]}" apt-get update -q
fi

if [ ${#missing[@]} -gt 0 ]; then
    step "installing ${#missing[@]} packages: ${missing[*]}"
    run "${sudo_cmd[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

if [ ${#unfetched[@]} -gt 0 ]; then
    step "unpacking the sources of ${unfetched[*]} into $source_cache"
    mkdir -p "$source_cache"
    (cd "$source_cache" && run apt-get source -q "${unfetched[@]}")
fi

if [ ${#missing[@]} -eq 0 ] && [ ${#unfetched[@]} -eq 0 ]; then
    step "every package and source is present"
fi

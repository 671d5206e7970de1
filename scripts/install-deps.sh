#!/usr/bin/env bash
# Installs every Debian 12 package the project needs to build, run and test.
# Idempotent: when all packages are present it does nothing and needs no network.
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

# jsoncpp's and pugixml's sources for the Windows cross build come from Debian's source
# packages of the same suites as the binary ones.
source_list=/etc/apt/sources.list.d/halvek-deb-src.sources
add_source_list() {
    local binary_list=/etc/apt/sources.list.d/debian.sources
    [ -f "$source_list" ] && return 1
    [ -f "$binary_list" ] || { echo "no $binary_list to take the deb-src suites from" >&2; exit 1; }
    sed 's/^Types: deb$/Types: deb-src/' "$binary_list" | "${sudo_cmd[@]}" tee "$source_list" > /dev/null
}

missing=()
for package in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$package")
    fi
done

sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
    sudo_cmd=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
updated=0
if [ ${#missing[@]} -gt 0 ] || add_source_list; then
    "${sudo_cmd[@]}" apt-get update -q
    updated=1
fi
if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    "${sudo_cmd[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

# Unpacked once into the build tree; the cross build reads them from there.
source_cache="$(cd "$(dirname "$0")/.." && pwd)/build/deb-src"
for source_package in libjsoncpp pugixml; do
    if ! compgen -G "$source_cache/$source_package-*/CMakeLists.txt" > /dev/null \
        && ! compgen -G "$source_cache/${source_package#lib}-*/CMakeLists.txt" > /dev/null; then
        [ "$updated" -eq 1 ] || { "${sudo_cmd[@]}" apt-get update -q; updated=1; }
        mkdir -p "$source_cache"
        (cd "$source_cache" && apt-get source -q "$source_package")
    fi
done

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
)

missing=()
for package in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$package")
    fi
done

if [ ${#missing[@]} -eq 0 ]; then
    exit 0
fi

echo "Installing: ${missing[*]}"
sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
    sudo_cmd=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -q
"${sudo_cmd[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"

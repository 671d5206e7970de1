#!/usr/bin/env bash
# Sets up a fresh Debian 12 machine, builds the release build and runs the main job.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DHALVEK_TESTS=OFF
cmake --build build/release --parallel "$(nproc)"
build/release/halvekctl --simulate devices

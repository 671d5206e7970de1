#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (AddressSanitizer and UndefinedBehaviorSanitizer
# on) and runs each one briefly. Exits non-zero on the first finding.
# Usage: scripts/run-fuzz.sh [SECONDS_PER_TARGET]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-30}"
CC=clang CXX=clang++ cmake -S . -B build/fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DHALVEK_SANITIZE=ON -DHALVEK_FUZZ=ON -DHALVEK_WERROR=ON -DHALVEK_TESTS=OFF -DHALVEK_BENCH=OFF
targets=(json_format_fuzz profile_file_fuzz profile_list_fuzz macro_fuzz light_presets_fuzz
         report_descriptor_fuzz macro_block_fuzz update_answer_fuzz wav_fuzz)
cmake --build build/fuzz --target "${targets[@]}" --parallel "$(nproc)"
for target in "${targets[@]}"; do
    corpus="build/fuzz/corpus/${target}"
    mkdir -p "$corpus"
    # Seeds: the shipped factory files are realistic inputs for every loader.
    cp data/DefaultData/* "$corpus/" 2>/dev/null || true
    echo "== ${target} (${seconds}s)"
    "build/fuzz/fuzz/${target}" -max_total_time="$seconds" -max_len=16384 -timeout=10 \
        -rss_limit_mb=2048 "$corpus"
done

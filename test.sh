#!/usr/bin/env bash
# Installs what is missing, builds, runs every test through ctest, then the sanitizer runs:
# the fuzz smoke (AddressSanitizer, UndefinedBehaviorSanitizer) and the ThreadSanitizer smoke.
set -euo pipefail
cd "$(dirname "$0")"
./tools/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release -DBREVANE_BUILD_TESTS=ON -DBREVANE_BUILD_BENCH=ON -DBREVANE_BUILD_GUI=ON
cmake --build build
ctest --test-dir build --output-on-failure -j2 --timeout 600
if [ "${BREVANE_SKIP_FUZZ:-0}" != "1" ]; then
  ./tools/fuzz-smoke.sh
fi
if [ "${BREVANE_SKIP_TSAN:-0}" != "1" ]; then
  ./tools/tsan-smoke.sh
fi

#!/usr/bin/env bash
# ThreadSanitizer smoke: builds the core and its multi-threaded tests (the engine's tests, runs
# of eight workers over varied files, a cancel in the middle, the error log's listener, the
# memory budget's waits) with clang and -fsanitize=thread, and runs them: any report fails.
set -euo pipefail
cd "$(dirname "$0")/.."
CC=clang CXX=clang++ cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DBREVANE_TSAN=ON -DBREVANE_BUILD_TESTS=ON -DBREVANE_BUILD_BENCH=OFF >/dev/null
cmake --build build-tsan --target brevane_tsan_tests
export BREVANE_TEST_TMP=$PWD/build-tsan/test-tmp
export TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1:exitcode=66"
start=$(date +%s)
build-tsan/bin/brevane_tsan_tests --gtest_brief=1 --gtest_repeat=2 >build-tsan/tsan.log 2>&1 \
  || { grep -A40 "WARNING: ThreadSanitizer" build-tsan/tsan.log | head -80 || tail -60 build-tsan/tsan.log
       echo "ThreadSanitizer run failed (build-tsan/tsan.log)"; exit 1; }
if grep -q "ThreadSanitizer" build-tsan/tsan.log; then
  grep -A40 "ThreadSanitizer" build-tsan/tsan.log | head -80
  echo "ThreadSanitizer reported (build-tsan/tsan.log)"
  exit 1
fi
echo "multi-threaded tests ok under ThreadSanitizer: $(grep '^\[==========\]' build-tsan/tsan.log | tail -1 | sed 's/^\[=*\] //'), $(( $(date +%s) - start )) s"

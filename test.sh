#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test.
set -euo pipefail
cd "$(dirname "$0")"

scripts/deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)"
QT_QPA_PLATFORM=offscreen ctest --test-dir build --output-on-failure -j"$(nproc)" --timeout 600

# The library and its tests again under AddressSanitizer and
# UndefinedBehaviorSanitizer (programs the tests start come from this tree).
cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUILLET_SANITIZE=ON \
  -DQUILLET_WITH_WINDOW=OFF -DQUILLET_WITH_BENCH=OFF >/dev/null
cmake --build build-asan -j"$(nproc)"
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  QT_QPA_PLATFORM=offscreen ctest --test-dir build-asan --output-on-failure -j"$(nproc)" --timeout 600

# Every fuzz target for a few seconds from its seed corpus.
scripts/fuzz.sh 5

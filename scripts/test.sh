#!/usr/bin/env bash
# Installs, builds and runs every test: window-free, GL and end-to-end tests
# (under xvfb-run when there is no display), then builds the engine and its
# window-free tests again with AddressSanitizer and UndefinedBehaviorSanitizer
# and runs those.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh

jobs="$(nproc)"
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j"$jobs"

run_ctest() {
  if [ -n "${DISPLAY:-}" ]; then
    ctest --test-dir build --output-on-failure -j"$jobs"
  else
    xvfb-run -a -s "-screen 0 1280x720x24" ctest --test-dir build --output-on-failure -j"$jobs"
  fi
}
run_ctest

cmake -S . -B build-sanitize -DCMAKE_BUILD_TYPE=Debug -DTARVO_SANITIZE=ON -DTARVO_PURE_TESTS_ONLY=ON
cmake --build build-sanitize -j"$jobs"
ASAN_OPTIONS=detect_leaks=0 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --test-dir build-sanitize --output-on-failure -L pure -j"$jobs"

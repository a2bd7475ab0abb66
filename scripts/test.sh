#!/usr/bin/env bash
# Installs what building and the tests need, builds and runs every test,
# under xvfb-run when there is no display: the window-free and GL tests in
# the optimised build; then the player, the renderer and the tests built
# again with AddressSanitizer and UndefinedBehaviorSanitizer, and the
# window-free tests and every end-to-end test (the real programs on the test
# production) run with them, leak detection on; then every fuzz target for
# about 10 seconds. Prints how long each part took.
#
# The end-to-end tests run once, on the sanitized programs: run twice they
# would take the whole command past 15 minutes on a 2-core machine. To run
# them on the optimised build too: ctest --test-dir build -L e2e
set -euo pipefail
cd "$(dirname "$0")/.."
root="$(pwd)"
bash scripts/install-deps.sh build test

jobs="$(nproc)"
started=$SECONDS
took() { echo "test.sh: $1 took $((SECONDS - started)) s"; started=$SECONDS; }

run_ctest() {  # run_ctest BUILD_DIR [ctest arguments]
  local dir="$1"
  shift
  if [ -n "${DISPLAY:-}" ]; then
    ctest --test-dir "$dir" --output-on-failure -j"$jobs" "$@"
  else
    xvfb-run -a -s "-screen 0 1280x720x24" ctest --test-dir "$dir" --output-on-failure -j"$jobs" "$@"
  fi
}

cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j"$jobs"
took "building"
run_ctest build -LE e2e
took "the window-free and GL tests"

# The GL tests need a context of their own, which the sanitizers' leak
# checker cannot tell from the driver's; the end-to-end tests run the
# sanitized programs themselves.
cmake -S . -B build-sanitize -DCMAKE_BUILD_TYPE=Debug -DTARVO_SANITIZE=ON -DTARVO_GL_TESTS=OFF -DTARVO_BENCH=OFF
cmake --build build-sanitize -j"$jobs"
took "building with the sanitizers"
export ASAN_OPTIONS=detect_leaks=1
export LSAN_OPTIONS="suppressions=$root/tests/sanitizers/lsan_suppressions.txt:print_suppressions=0"
export UBSAN_OPTIONS=print_stacktrace=1
run_ctest build-sanitize -L "pure|e2e"
took "the window-free and end-to-end tests under the sanitizers"
unset ASAN_OPTIONS LSAN_OPTIONS UBSAN_OPTIONS

FUZZ_BUILD_TYPE=Debug bash scripts/fuzz.sh 10
took "fuzzing"

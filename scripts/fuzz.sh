#!/usr/bin/env bash
# Builds the libFuzzer targets of fuzz/ with clang into build-fuzz and runs
# each for SECONDS (default 60) on a copy of its seed corpus, its regressions
# read as further seeds; as many targets at once as there are cores
# (FUZZ_JOBS to choose). Prints one line per target: executions, coverage
# (libFuzzer's final cov:) and crashes (0 or 1, with the saved input). For
# each crash it then prints the target, the input in base64 and the end of
# the target's report, so a CI log alone is enough to reproduce it. Exits
# with 1 when any target crashed. Without clang it says so and does nothing.
#
#   bash scripts/fuzz.sh [SECONDS]
set -euo pipefail
cd "$(dirname "$0")/.."
root="$(pwd)"
seconds="${1:-60}"
# FUZZ_BUILD_TYPE=Debug compiles faster (the test command's short runs);
# the default optimises, for long runs.
build_type="${FUZZ_BUILD_TYPE:-RelWithDebInfo}"
build="$root/build-fuzz"
if [ "$build_type" != "RelWithDebInfo" ]; then build="$root/build-fuzz-${build_type,,}"; fi

if ! command -v clang >/dev/null 2>&1 || ! command -v clang++ >/dev/null 2>&1; then
  echo "fuzz.sh: clang is not installed (scripts/install-deps.sh installs it): no fuzzing"
  exit 0
fi

mkdir -p "$build"
if ! { cmake -S "$root" -B "$build" -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
         -DTARVO_FUZZ=ON -DTARVO_PURE_TESTS_ONLY=ON -DCMAKE_BUILD_TYPE="$build_type" &&
       cmake --build "$build" --target fuzzers -j"$(nproc)"; } >"$build/fuzz-build.log" 2>&1; then
  tail -n 40 "$build/fuzz-build.log"
  echo "fuzz.sh: the fuzz targets did not build (log: $build/fuzz-build.log)"
  exit 2
fi

runs="$build/fuzz-runs"
rm -rf "$runs"
mkdir -p "$runs"

# Runs one target; leaves its table line in $runs/NAME/line.txt.
run_target() {
  local name="$1" dir="$runs/$1"
  mkdir -p "$dir/corpus"
  cp -r "$root/fuzz/corpus/$name/." "$dir/corpus/" 2>/dev/null || true
  local seeds=("$dir/corpus")
  if [ -d "$root/fuzz/regressions/$name" ]; then seeds+=("$root/fuzz/regressions/$name"); fi
  local status=0
  (cd "$dir" && "$build/fuzz/fuzz_$name" -max_total_time="$seconds" -print_final_stats=1 \
     -artifact_prefix="$dir/" "${seeds[@]}") >"$dir/log.txt" 2>&1 || status=$?
  local executions coverage artifact crashed=0 note=""
  # A target that fails on its first input prints neither figure.
  executions="$(sed -n 's/^stat::number_of_executed_units: *//p' "$dir/log.txt" | tail -n 1 || true)"
  coverage="$(grep -o 'cov: [0-9]*' "$dir/log.txt" | tail -n 1 | cut -d' ' -f2 || true)"
  artifact="$(find "$dir" -maxdepth 1 -type f \( -name 'crash-*' -o -name 'oom-*' -o -name 'timeout-*' \
                -o -name 'leak-*' \) | head -n 1)"
  if [ "$status" -ne 0 ] || [ -n "$artifact" ]; then
    crashed=1
    note="  ${artifact:-exit code $status} (log: $dir/log.txt)"
  fi
  printf '%-18s %12s %8s %8s%s\n' "$name" "${executions:-?}" "${coverage:-?}" "$crashed" "$note" >"$dir/line.txt"
}

# One target per core at a time; the table comes out in name order.
names=()
for source in "$root"/fuzz/*_fuzz.cpp; do names+=("$(basename "$source" _fuzz.cpp)"); done
jobs="${FUZZ_JOBS:-$(nproc)}"
for name in "${names[@]}"; do
  while [ "$(jobs -rp | wc -l)" -ge "$jobs" ]; do wait -n || true; done
  run_target "$name" &
done
wait

any_crash=0
printf '%-18s %12s %8s %8s\n' target executions cov crashes
for name in "${names[@]}"; do
  cat "$runs/$name/line.txt"
  if [ "$(awk '{print $4}' "$runs/$name/line.txt")" != "0" ]; then any_crash=1; fi
done

# What a CI log needs to reproduce each crash.
for name in "${names[@]}"; do
  dir="$runs/$name"
  [ "$(awk '{print $4}' "$dir/line.txt")" != "0" ] || continue
  artifact="$(find "$dir" -maxdepth 1 -type f \( -name 'crash-*' -o -name 'oom-*' -o -name 'timeout-*' \
                -o -name 'leak-*' \) | head -n 1)"
  echo
  echo "fuzz.sh: target $name failed; the end of its report:"
  tail -n 40 "$dir/log.txt"
  if [ -n "$artifact" ]; then
    echo "fuzz.sh: the input that made target $name fail, $(stat -c %s "$artifact") bytes, in base64:"
    head -c 65536 "$artifact" | base64 -w 76
    echo "fuzz.sh: to replay it: base64 -d > input.bin (paste the lines above), then build-fuzz/fuzz/fuzz_$name input.bin"
  else
    echo "fuzz.sh: target $name saved no input (it failed outside an input, see the report above)"
  fi
done
exit "$any_crash"

#!/usr/bin/env bash
# Renders the production's music and the test production's clip with
# soundtrack-gen, encodes both with lame and rewrites the table of the
# music's sections beside the sync source. Run from the repository root:
#   tools/soundtrack/make-mp3.sh [BUILD_DIR]
set -euo pipefail

build_dir="${1:-build}"
generator="$build_dir/soundtrack-gen"
if [ ! -x "$generator" ]; then
  cmake --build "$build_dir" --target soundtrack-gen
fi

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

"$generator" "$work/norde.wav" --sections demosrc/norde/sections.txt
lame --quiet --noreplaygain --resample 44.1 -q 2 -b 192 --tt "brivel-669" --ta "tarvo" \
  "$work/norde.wav" demosrc/norde/data/brivel-669.mp3

"$generator" --test "$work/test.wav"
mkdir -p tests/e2e/production/demosrc/norde/data
lame --quiet --noreplaygain --resample 44.1 -q 2 -b 96 --tt "brivel-669 test clip" --ta "tarvo" \
  "$work/test.wav" tests/e2e/production/demosrc/norde/data/brivel-669.mp3

ls -l demosrc/norde/sections.txt demosrc/norde/data/brivel-669.mp3 tests/e2e/production/demosrc/norde/data/brivel-669.mp3

#!/usr/bin/env bash
# A baseline build and today's, side by side on this machine in one run, as
# a machine without a GPU (Mesa's software GL) draws them. For each build:
#   - the first frame of plain `tarvo` (the real production, full screen on a
#     private 1280x720 X server, no sound device): seconds from the start to
#     the log's "Profiler::Reset", which the end of the first frame writes;
#     the median of $STARTS starts, the builds taking turns;
#   - the save-to-screen of bench/live_latency.sh at the scale that fits its
#     640x360 window (median of $SAVES saves);
#   - tarvo-render's frames per second on the real production at 640x360
#     with preview 0.33 (with its per-pass profile) and at full size;
# then the ratios, and whether the full-size frames of both builds hash the
# same.
#
# usage: bench/software_speed.sh [BASELINE_BUILD_DIR]
#   BASELINE_BUILD_DIR  a build folder with tarvo and tarvo-render. Without
#                       it, revision $BASELINE_REV (default 9bfa8de, the last
#                       build that drew every wire as a line) is exported
#                       with git archive and built in build-baseline/REV/,
#                       which later runs reuse.
# Today's build is build/; its tarvo and tarvo-render are brought up to date.
# Environment: STARTS (5), SAVES (20), PREVIEW_FRAMES (30), FULL_FRAMES (6),
# JOBS (2) for the builds.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
starts=${STARTS:-5}
saves=${SAVES:-20}
previewFrames=${PREVIEW_FRAMES:-30}
fullFrames=${FULL_FRAMES:-6}
jobs=${JOBS:-2}
baselineRev=${BASELINE_REV:-9bfa8de}
patience=60
fps=30
startSecond=30  # where the renders begin: the landscape in full motion

if [ -z "${DISPLAY:-}" ]; then
  exec xvfb-run -a -s "-screen 0 1280x720x24" env STARTS="$starts" SAVES="$saves" PREVIEW_FRAMES="$previewFrames" \
    FULL_FRAMES="$fullFrames" JOBS="$jobs" BASELINE_REV="$baselineRev" bash "$root/bench/software_speed.sh" "$@"
fi

say() { echo "software_speed: $*" >&2; }
fail() {
  say "$*"
  exit 1
}

# build_revision REV: exports REV and builds its player and renderer in
# build-baseline/REV/build; prints that folder.
build_revision() {
  local rev
  rev=$(git -C "$root" rev-parse --short "$1^{commit}") || fail "no revision $1 in $root"
  local dir="$root/build-baseline/$rev"
  if [ ! -x "$dir/build/tarvo" ] || [ ! -x "$dir/build/tarvo-render" ]; then
    say "building $rev in $dir (once; later runs reuse it)"
    rm -rf "$dir/src"
    mkdir -p "$dir/src"
    git -C "$root" archive "$rev" | tar -x -C "$dir/src"
    cmake -S "$dir/src" -B "$dir/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTARVO_BUILD_TESTS=OFF \
      -DTARVO_BENCH=OFF > "$dir/configure.log" 2>&1 || fail "configuring $rev failed: see $dir/configure.log"
    cmake --build "$dir/build" --target tarvo tarvo-render -j"$jobs" > "$dir/build.log" 2>&1 ||
      fail "building $rev failed: see $dir/build.log"
  fi
  echo "$dir/build"
}

if [ $# -ge 1 ]; then
  baseline=$(cd "$1" && pwd) || fail "no build folder $1"
  baselineName="$1"
else
  baseline=$(build_revision "$baselineRev")
  baselineName="$baselineRev"
fi
for program in tarvo tarvo-render; do
  [ -x "$baseline/$program" ] || fail "$baseline has no $program"
done
today="$root/build"
[ -f "$today/CMakeCache.txt" ] || cmake -S "$root" -B "$today" -DCMAKE_BUILD_TYPE=RelWithDebInfo > /dev/null
cmake --build "$today" --target tarvo tarvo-render -j"$jobs" > /dev/null || fail "building today's tarvo failed"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/show/src/drawables"
cp -r "$root/demosrc" "$work/show/"
cp "$root"/src/drawables/cameraHUD.* "$work/show/src/drawables/"
cd "$work/show"
# The spectrum cache is analysed once, so no start below pays for it.
env -u DISPLAY "$today/tarvo-render" --output "$work/warm" --frames 0:1 --size 64x36 > /dev/null 2>&1 ||
  fail "today's tarvo-render cannot render the production"

# first_frame BUILD: milliseconds from starting plain tarvo to the end of its
# first frame, watched by one light process (bench/first_frame.mjs).
first_frame() {
  local ms
  ms=$(node "$root/bench/first_frame.mjs" "$1/tarvo" "$patience") || fail "$1/tarvo: no first frame"
  echo "$ms"
}

median() { sort -n | awk '{v[NR] = $1} END {print v[int((NR + 1) / 2)]}'; }

# One uncounted start each (the driver's shader cache fills), then turns.
first_frame "$baseline" > /dev/null
renderer=$(sed -n 's/^\tOpenGL Render: //p' output2.txt)
first_frame "$today" > /dev/null
: > "$work/base-starts"
: > "$work/today-starts"
for _ in $(seq 1 "$starts"); do
  first_frame "$baseline" >> "$work/base-starts"
  first_frame "$today" >> "$work/today-starts"
done
baseFirst=$(median < "$work/base-starts")
todayFirst=$(median < "$work/today-starts")

# The fit-scale save-to-screen median of a build, in ms.
save_to_screen() {
  local line
  line=$(SAVES="$saves" SCALES=fit TARVO_BUILD="$1" bash "$root/bench/live_latency.sh") ||
    fail "bench/live_latency.sh failed for $1"
  echo "$line" >&2
  echo "$line" | sed -n 's/.*median \([0-9]*\) ms.*/\1/p'
}
baseSave=$(save_to_screen "$baseline")
todaySave=$(save_to_screen "$today")

# render BUILD NAME FRAMES ARGS...: renders frames from $startSecond; prints
# its frames per second (the renderer's own figure, PNG output included).
render() {
  local build="$1" name="$2" frames="$3"
  shift 3
  local first=$((startSecond * fps))
  env -u DISPLAY "$build/tarvo-render" --output "$work/$name" --fps "$fps" --frames "$first:$((first + frames))" "$@" \
    > /dev/null 2> "$work/$name.txt" || fail "$build/tarvo-render failed: $(tail -n 3 "$work/$name.txt")"
  tr '\r' '\n' < "$work/$name.txt" | sed -n 's/^rendered .*(\([0-9.]*\) frames per second).*/\1/p'
}
basePreview=$(render "$baseline" base-preview "$previewFrames" --size 640x360 --preview-scale 0.33 --profile)
todayPreview=$(render "$today" today-preview "$previewFrames" --size 640x360 --preview-scale 0.33 --profile)
baseFull=$(render "$baseline" base-full "$fullFrames" --hashes "$work/base-hashes.txt")
todayFull=$(render "$today" today-full "$fullFrames" --hashes "$work/today-hashes.txt")

ratio() { awk -v a="$1" -v b="$2" 'BEGIN {if (b > 0) printf "%.2f", a / b; else print "-"}'; }
profile() { tr '\r' '\n' < "$work/$1.txt" | sed -n '/^pass (average/,/frames per second drawing only/p'; }

echo
echo "software_speed: baseline $baselineName ($baseline), today $(git -C "$root" describe --always --dirty) ($today)"
echo "GL renderer: ${renderer:-unknown}; $(nproc) cores"
printf '%-48s %12s %12s %10s\n' "" "baseline" "today" "today/base"
printf '%-48s %9s ms %9s ms %10s\n' "first frame of plain tarvo (median of $starts)" "$baseFirst" "$todayFirst" \
  "$(ratio "$todayFirst" "$baseFirst")"
printf '%-48s %9s ms %9s ms %10s\n' "save-to-screen at the fit scale (median)" "$baseSave" "$todaySave" \
  "$(ratio "$todaySave" "$baseSave")"
printf '%-48s %8s fps %8s fps %10s\n' "tarvo-render 640x360, preview 0.33" "$basePreview" "$todayPreview" \
  "$(ratio "$todayPreview" "$basePreview")"
printf '%-48s %8s fps %8s fps %10s\n' "tarvo-render 1920x1080, full size" "$baseFull" "$todayFull" \
  "$(ratio "$todayFull" "$baseFull")"
echo "(times: today/base below 1 is faster; frames per second: above 1 is faster)"
echo "preview frame time, today/base: $(ratio "$basePreview" "$todayPreview")"
if cmp -s "$work/base-hashes.txt" "$work/today-hashes.txt"; then
  echo "full-size frames: the $fullFrames frames from ${startSecond} s hash the same in both builds"
else
  echo "full-size frames: the hashes DIFFER"
  diff "$work/base-hashes.txt" "$work/today-hashes.txt" || true
fi
echo
echo "per-pass profile, baseline, 640x360 preview 0.33:"
profile base-preview
echo
echo "per-pass profile, today, 640x360 preview 0.33:"
profile today-preview
cmp -s "$work/base-hashes.txt" "$work/today-hashes.txt"

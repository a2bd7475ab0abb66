#!/usr/bin/env bash
# Save-to-screen latency of a shader in the live authoring mode: plays the
# small test production in a 640x360 window on a private X server, saves the
# composition shader 20 times (each save different, one at a time) and takes
# the player's own measure of each, from the file event to the first
# presented frame that uses it ("reloaded: PATH (NN ms)"). Does so twice in
# one run, with the passes at full size (--preview-scale 1) and at the scale
# that fits the window (live mode's default), and prints the median and range
# of each. Run from the repository root after scripts/build.sh.
#
# Environment: SAVES (20) saves per measure; TARVO_BUILD (build/) the build
# folder whose tarvo plays; SCALES ("full fit") which of the two measures to
# take. Stops with a message, and exit code 1, when the player ends or shows
# no first frame within 60 s, or a save shows no reload within 60 s.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
saves=${SAVES:-20}
build=${TARVO_BUILD:-$root/build}
scales=${SCALES:-full fit}
if [ -z "${DISPLAY:-}" ]; then
  exec xvfb-run -a -s "-screen 0 1280x720x24" env SAVES="$saves" TARVO_BUILD="$build" SCALES="$scales" \
    bash "$root/bench/live_latency.sh"
fi
patience=60
work=$(mktemp -d)
player=
trap 'if [ -n "$player" ]; then kill "$player" 2>/dev/null || true; fi; rm -rf "$work"' EXIT

cp -r "$root/tests/e2e/production/." "$work/"
cp "$root"/demosrc/norde/data/*.glsl "$root"/demosrc/norde/data/{dot,binary,pointRenderer}.png "$work/demosrc/norde/data/"
mkdir -p "$work/src/drawables"
cp "$root"/src/drawables/cameraHUD.* "$work/src/drawables/"
cd "$work"

# stop WHY: the message, the player's last words, exit code 1.
stop() {
  echo "live_latency: $1" >&2
  if [ -s console.txt ]; then
    echo "live_latency: the player's console ends with:" >&2
    tail -n 5 console.txt >&2
  fi
  exit 1
}

# await DESCRIPTION COMMAND...: polls the command until it succeeds; stops
# when the player has ended or $patience seconds have passed.
await() {
  local what="$1"
  shift
  local deadline=$((SECONDS + patience))
  until "$@"; do
    if ! kill -0 "$player" 2>/dev/null; then
      wait "$player" 2>/dev/null && status=0 || status=$?
      player=
      stop "the player ended (exit code $status) before $what"
    fi
    if [ "$SECONDS" -ge "$deadline" ]; then stop "no $what within $patience s (DISPLAY=$DISPLAY)"; fi
    sleep 0.02
  done
}

first_frame_shown() { grep -q "Profiler::Reset" output2.txt 2>/dev/null; }
# reloads_seen N: the N-th reload of the shader is in the log.
reloads_seen() { [ "$(grep -cF "$pattern" output2.txt 2>/dev/null || true)" -ge "$1" ]; }

# measure LABEL [PLAYER OPTIONS...]: one player, $saves saves, one line.
measure() {
  local label="$1"
  shift
  rm -f output2.txt console.txt
  SDL_AUDIODRIVER=dummy "$build/tarvo" --live --window 640x360 "$@" > console.txt 2>&1 &
  player=$!
  await "its first frame" first_frame_shown
  local shader=demosrc/norde/data/postProc-1.glsl
  pattern='reloaded: demosrc/norde/data/postProc-1.glsl ('
  for i in $(seq 1 "$saves"); do
    echo "// save $i" >> "$shader"
    await "the reload of save $i" reloads_seen "$i"
    sleep 0.2
  done
  local scale
  scale=$(grep -o '^preview [0-9.]* ([0-9x]*)' output2.txt | tail -n 1 || true)
  kill "$player"
  wait "$player" 2>/dev/null || true
  player=
  grep -F "$pattern" output2.txt | sed 's/.*(\([0-9]*\) ms)/\1/' | sort -n > latencies.txt
  echo "$label, ${scale:-preview 1.00 (1920x1080)}: median $(sed -n "$(( (saves + 1) / 2 ))p" latencies.txt) ms," \
       "range $(head -n 1 latencies.txt) to $(tail -n 1 latencies.txt) ms over $saves shader saves"
}

for scale in $scales; do
  case "$scale" in
    full) measure "full size" --preview-scale 1 ;;
    fit) measure "fit to the window" ;;
    *) stop "unknown scale '$scale' in SCALES (full, fit)" ;;
  esac
done

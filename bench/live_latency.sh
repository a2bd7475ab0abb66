#!/usr/bin/env bash
# Save-to-screen latency of a shader in the live authoring mode: plays the
# small test production in a 640x360 window on a private X server, saves the
# composition shader 20 times (each save different, one at a time) and takes
# the player's own measure of each, from the file event to the first
# presented frame that uses it ("reloaded: PATH (NN ms)"). Does so twice in
# one run, with the passes at full size (--preview-scale 1) and at the scale
# that fits the window (live mode's default), and prints the median and range
# of each. Run from the repository root after scripts/build.sh.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
saves=${SAVES:-20}
if [ -z "${DISPLAY:-}" ]; then
  exec xvfb-run -a -s "-screen 0 1280x720x24" env SAVES="$saves" bash "$root/bench/live_latency.sh"
fi
work=$(mktemp -d)
player=
trap 'if [ -n "$player" ]; then kill "$player" 2>/dev/null || true; fi; rm -rf "$work"' EXIT

cp -r "$root/tests/e2e/production/." "$work/"
cp "$root"/demosrc/norde/data/*.glsl "$root"/demosrc/norde/data/{dot,binary,pointRenderer}.png "$work/demosrc/norde/data/"
mkdir -p "$work/src/drawables"
cp "$root"/src/drawables/cameraHUD.* "$work/src/drawables/"
cd "$work"

# measure LABEL [PLAYER OPTIONS...]: one player, $saves saves, one line.
measure() {
  local label="$1"
  shift
  rm -f output2.txt
  SDL_AUDIODRIVER=dummy "$root/build/tarvo" --live --window 640x360 "$@" > console.txt 2>&1 &
  player=$!
  until grep -q "Profiler::Reset" output2.txt 2>/dev/null; do sleep 0.2; done
  local shader=demosrc/norde/data/postProc-1.glsl
  local pattern='reloaded: demosrc/norde/data/postProc-1.glsl ('
  for i in $(seq 1 "$saves"); do
    echo "// save $i" >> "$shader"
    until [ "$(grep -cF "$pattern" output2.txt)" -ge "$i" ]; do sleep 0.02; done
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

measure "full size" --preview-scale 1
measure "fit to the window"

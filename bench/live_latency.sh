#!/usr/bin/env bash
# Save-to-screen latency of a shader in the live authoring mode: plays the
# small test production in a 640x360 window on a private X server, saves the
# composition shader 20 times (each save different, one at a time) and prints
# the player's own measure of each, from the file event to the first
# presented frame that uses it ("reloaded: PATH (NN ms)"), and their median.
# Run from the repository root after scripts/build.sh.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
saves=${SAVES:-20}
if [ -z "${DISPLAY:-}" ]; then
  exec xvfb-run -a -s "-screen 0 1280x720x24" env SAVES="$saves" bash "$root/bench/live_latency.sh"
fi
work=$(mktemp -d)
trap 'kill $player 2>/dev/null || true; rm -rf "$work"' EXIT

cp -r "$root/tests/e2e/production/." "$work/"
cp "$root"/demosrc/norde/data/*.glsl "$root"/demosrc/norde/data/{dot,binary,pointRenderer}.png "$work/demosrc/norde/data/"
mkdir -p "$work/src/drawables"
cp "$root"/src/drawables/cameraHUD.* "$work/src/drawables/"
cd "$work"

SDL_AUDIODRIVER=dummy "$root/build/tarvo" --live --window 640x360 > console.txt 2>&1 &
player=$!
until grep -q "Profiler::Reset" output2.txt 2>/dev/null; do sleep 0.2; done
shader=demosrc/norde/data/postProc-1.glsl
pattern='reloaded: demosrc/norde/data/postProc-1.glsl ('
for i in $(seq 1 "$saves"); do
  echo "// save $i" >> "$shader"
  until [ "$(grep -cF "$pattern" output2.txt)" -ge "$i" ]; do sleep 0.02; done
  sleep 0.2
done
grep -F "$pattern" output2.txt | sed 's/.*(\([0-9]*\) ms)/\1/' | sort -n > latencies.txt
echo "save-to-screen latency over $saves shader saves (ms): $(tr '\n' ' ' < latencies.txt)"
echo "median: $(sed -n "$(( (saves + 1) / 2 ))p" latencies.txt) ms"

#!/usr/bin/env bash
# Installs what building and playing need (no test tools), builds into build/
# and plays the production from the repository root.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh build
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j"$(nproc)"
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "tarvo: no display here (DISPLAY is not set), so the show cannot open its window; render it to a video instead:" >&2
  echo "  build/tarvo-render --output norde.mp4      (it needs no display; build/tarvo-render --help explains the options)" >&2
  exit 1
fi
exec build/tarvo

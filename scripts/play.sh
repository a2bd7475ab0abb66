#!/usr/bin/env bash
# Installs, builds and plays the production from the repository root.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "tarvo: no display here (DISPLAY is not set), so the show cannot open its window; render it to a video instead:" >&2
  echo "  build/tarvo-render --output norde.mp4      (it needs no display; build/tarvo-render --help explains the options)" >&2
  exit 1
fi
exec build/tarvo

#!/usr/bin/env bash
# Installs the Debian packages tarvo needs to build, test and play.
# Idempotent: runs apt-get only for packages that are missing.
set -euo pipefail

PACKAGES=(
  build-essential cmake pkg-config
  libsdl2-dev libglew-dev libegl-dev libstb-dev libmpg123-dev libkissfft-dev
  libpng-dev libjpeg62-turbo-dev
  libgtest-dev libbenchmark-dev
  clang libclang-rt-14-dev
  xvfb xauth libgl1-mesa-dri xdotool imagemagick
  fonts-dejavu-core
  lame ffmpeg
  slurmctld slurmd slurm-client munge
)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

SUDO=""
if [ "$(id -u)" -ne 0 ]; then
  SUDO="sudo"
fi

echo "Installing missing packages: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -q
$SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"

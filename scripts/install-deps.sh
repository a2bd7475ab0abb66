#!/usr/bin/env bash
# Installs the Debian packages of the named sets that are missing:
#   build   what building and playing need: compilers, CMake and the
#           libraries the programs and their tests link
#   test    what only the tests need: clang and its fuzzing runtime, Xvfb and
#           the tools that drive and photograph the show, the encoders, the
#           Slurm daemons of the farm test, Chromium and Node for the editor
#           page's tests, debootstrap for the release test's clean system
# With no set named, both.
#
#   bash scripts/install-deps.sh [build] [test]
#
# Idempotent: runs apt-get update once, and only when something is missing.
# A package counts as present when it, or an installed package that provides
# it, is installed (NodeSource's nodejs provides npm, for instance).
set -euo pipefail

BUILD_PACKAGES=(
  build-essential cmake pkg-config
  libsdl2-dev libglew-dev libegl-dev libx11-dev libstb-dev libmpg123-dev libkissfft-dev
  libpng-dev libjpeg62-turbo-dev
  libboost-dev nlohmann-json3-dev
  libgtest-dev libbenchmark-dev
)

TEST_PACKAGES=(
  clang libclang-rt-14-dev
  xvfb xauth libgl1-mesa-dri xdotool imagemagick
  fonts-dejavu-core
  lame ffmpeg
  slurmctld slurmd slurm-client munge
  chromium nodejs npm
  debootstrap curl
)

sets=("$@")
if [ ${#sets[@]} -eq 0 ]; then sets=(build test); fi
wanted=()
for set in "${sets[@]}"; do
  case "$set" in
    build) wanted+=("${BUILD_PACKAGES[@]}") ;;
    test) wanted+=("${TEST_PACKAGES[@]}") ;;
    *)
      echo "install-deps.sh: unknown set '$set' (the sets are: build, test)" >&2
      exit 2
      ;;
  esac
done

# Installed packages and what they provide, one name a line.
present="$(dpkg-query -W -f='${db:Status-Abbrev} ${Package} ${Provides}\n' 2>/dev/null |
  awk '$1 == "ii" { for (i = 2; i <= NF; ++i) { f = $i; sub(/,$/, "", f); if (f ~ /^\(/ || f ~ /\)$/) continue; sub(/:.*/, "", f); print f } }' |
  sort -u)"

missing=()
for p in "${wanted[@]}"; do
  if ! grep -qxF "$p" <<<"$present"; then
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

#!/usr/bin/env bash
# Installs what the piece needs from Debian's packages, then configures and builds it (Release)
# into ./build. The build also runs the asset generators, so build/data is complete afterwards.
# Usage: ./setup.sh [extra cmake arguments]
set -euo pipefail
cd "$(dirname "$0")"

PACKAGES=(
    build-essential cmake pkg-config
    libsdl2-dev libopenal-dev libglew-dev libglu1-mesa-dev libgl1-mesa-dev libgl1-mesa-dri
    libmpg123-dev libfftw3-dev libmp3lame-dev
    libjpeg62-turbo-dev libpng-dev libfreetype-dev libfontconfig-dev fonts-liberation
    libgtest-dev libbenchmark-dev
    xvfb xauth
)

missing=()
for p in "${PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    SUDO=""
    [ "$(id -u)" -ne 0 ] && SUDO="sudo"
    $SUDO apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

BUILD_TYPE="${VQ_BUILD_TYPE:-Release}"
cmake -S . -B build -DCMAKE_BUILD_TYPE="$BUILD_TYPE" "$@" >/dev/null
cmake --build build -j "$(nproc)"

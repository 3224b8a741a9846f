#!/usr/bin/env bash
# Installs what the piece needs from Debian's packages, then configures and builds it (Release)
# into ./build. The build also runs the asset generators, so build/data is complete afterwards.
# Usage: ./setup.sh [--tests] [extra cmake arguments]
#   --tests   also the packages that only the tests and benchmarks need (./test.sh passes it)
set -euo pipefail
cd "$(dirname "$0")"

# What building and playing need.
BUILD_PACKAGES=(
    build-essential cmake ninja-build pkg-config
    libsdl2-dev libopenal-dev libglew-dev libglu1-mesa-dev libgl1-mesa-dev libx11-dev
    libgl1-mesa-dri libegl1 libegl-mesa0
    libavcodec-dev libavformat-dev libswscale-dev libavutil-dev
    libmpg123-dev libfftw3-dev libmp3lame-dev
    libjpeg62-turbo-dev libpng-dev libfreetype-dev libfontconfig-dev fonts-liberation
)
# What only the tests and benchmarks need: a PulseAudio that the sound tests start privately (a
# null sink, never a sound card) and libpulse to record it; ffmpeg to measure captured videos;
# GNU parallel for the render farm; mmdebstrap for the package test.
TEST_PACKAGES=(
    libgtest-dev libbenchmark-dev
    xvfb xauth
    pulseaudio libpulse-dev
    ffmpeg parallel clang-format
    mmdebstrap
)

packages=("${BUILD_PACKAGES[@]}")
if [ "${1:-}" = "--tests" ]; then
    shift
    packages+=("${TEST_PACKAGES[@]}")
fi

if ! command -v dpkg-query >/dev/null; then
    echo "setup: this is no Debian system; install the equivalents of: ${packages[*]}" >&2
    exit 1
fi
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    as_root=()
    if [ "$(id -u)" -ne 0 ]; then
        if ! command -v sudo >/dev/null; then
            echo "setup: missing Debian packages: ${missing[*]}; install them as root with:" \
                "apt-get install --no-install-recommends ${missing[*]}" >&2
            exit 1
        fi
        as_root=(sudo)
    fi
    echo "Installing: ${missing[*]}"
    "${as_root[@]}" apt-get update -qq
    "${as_root[@]}" env DEBIAN_FRONTEND=noninteractive \
        apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# A new build folder uses Ninja, which says "no work to do" in one line where make lists every
# target; a folder made before keeps the generator it was made with.
generator=()
[ -f build/CMakeCache.txt ] || generator=(-G Ninja)
BUILD_TYPE="${VQ_BUILD_TYPE:-Release}"
cmake -S . -B build "${generator[@]}" -DCMAKE_BUILD_TYPE="$BUILD_TYPE" "$@" >/dev/null
cmake --build build -j "$(nproc)"

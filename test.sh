#!/usr/bin/env bash
# Sets everything up and runs every test. Without a display the tests run under Xvfb, where Mesa's
# software renderer gives them a real OpenGL context. Where clang is installed, every data reader
# is then fuzzed for a few seconds (tests/fuzz/run-short.sh).
set -euo pipefail
cd "$(dirname "$0")"

# Test-only packages: a PulseAudio that the sound tests start privately (a null sink, never a
# sound card), libpulse to record it, Xlib and Xvfb to read the screen of a live run. Where they
# cannot be installed, those tests skip and say why.
TEST_PACKAGES=(pulseaudio libpulse-dev libx11-dev xvfb)
install_test_packages() {
    local missing=() p
    for p in "${TEST_PACKAGES[@]}"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing for the tests: ${missing[*]}"
    local sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    { $sudo apt-get update -qq && DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq \
        --no-install-recommends "${missing[@]}"; } ||
        echo "test.sh: could not install ${missing[*]}; the tests that need them will skip"
}
install_test_packages

./setup.sh -DVQ_BUILD_TESTS=ON
status=0
(
    cd build
    if [ -z "${DISPLAY:-}" ]; then
        exec xvfb-run -a -s "-screen 0 1280x1024x24" ctest --output-on-failure -j 2 "$@"
    fi
    exec ctest --output-on-failure -j 2 "$@"
) || status=$?
# A few seconds of fuzzing for every reader of the data, where clang is there to build it.
if command -v clang++ >/dev/null 2>&1; then
    tests/fuzz/run-short.sh || status=1
else
    echo "clang++ not found: the short fuzz runs are skipped"
fi
exit $status

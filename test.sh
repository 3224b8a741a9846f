#!/usr/bin/env bash
# Sets everything up and runs every test, strictly: warnings are errors, the C++ sources must be
# formatted as .clang-format says, and the loader, format and scene tests run once more under
# AddressSanitizer and UBSan. Without a display the tests run under Xvfb, where Mesa's software
# renderer gives them a real OpenGL context (the GL tests also run without any display, through
# EGL; the ones about X itself start Xvfb servers of their own). Where mmdebstrap is installed
# and the user is root, one test installs the .deb into a clean Debian root (about two minutes;
# ctest -LE package leaves it out). Where clang is installed, every data reader is fuzzed for a
# few seconds. Extra arguments go to ctest.
set -euo pipefail
cd "$(dirname "$0")"
./setup.sh --tests -DVQ_BUILD_TESTS=ON -DVQ_WERROR=ON
status=0
tests/ci/format-check.sh || status=1
(
    cd build
    if [ -z "${DISPLAY:-}" ]; then
        exec xvfb-run -a -s "-screen 0 1280x1024x24 -noreset" ctest --output-on-failure -j 2 "$@"
    fi
    exec ctest --output-on-failure -j 2 "$@"
) || status=1
tests/ci/sanitize.sh || status=1
# A few seconds of fuzzing for every reader of the data, where clang is there to build it.
if command -v clang++ >/dev/null 2>&1; then
    tests/fuzz/run-short.sh || status=1
else
    echo "clang++ not found: the short fuzz runs are skipped"
fi
exit $status

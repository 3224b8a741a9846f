#!/usr/bin/env bash
# Sets everything up and runs every test. Without a display the tests run under Xvfb, where Mesa's
# software renderer gives them a real OpenGL context. Where clang is installed, every data reader
# is then fuzzed for a few seconds (tests/fuzz/run-short.sh).
set -euo pipefail
cd "$(dirname "$0")"
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

#!/usr/bin/env bash
# Sets everything up and runs every test. Without a display the tests run under Xvfb, where Mesa's
# software renderer gives them a real OpenGL context.
set -euo pipefail
cd "$(dirname "$0")"
./setup.sh -DVQ_BUILD_TESTS=ON
cd build
if [ -z "${DISPLAY:-}" ]; then
    exec xvfb-run -a -s "-screen 0 1280x1024x24" ctest --output-on-failure -j 2 "$@"
fi
exec ctest --output-on-failure -j 2 "$@"

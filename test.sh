#!/usr/bin/env bash
# Sets everything up and runs every test. Without a display the tests run under Xvfb, where Mesa's
# software renderer gives them a real OpenGL context (the GL tests also run without any display,
# through EGL; the ones about X itself start Xvfb servers of their own). Where mmdebstrap is
# installed and the user is root, one test also installs the .deb into a clean Debian root
# (about two minutes; ctest -LE package leaves it out). Extra arguments go to ctest.
set -euo pipefail
cd "$(dirname "$0")"
./setup.sh --tests -DVQ_BUILD_TESTS=ON
cd build
if [ -z "${DISPLAY:-}" ]; then
    exec xvfb-run -a -s "-screen 0 1280x1024x24" ctest --output-on-failure -j 2 "$@"
fi
exec ctest --output-on-failure -j 2 "$@"

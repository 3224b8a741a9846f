#!/usr/bin/env bash
# Sets everything up (what building and playing need) and plays the piece. Extra arguments go to
# the program (see ./build/vqdemo --help).
set -euo pipefail
cd "$(dirname "$0")"
./setup.sh
exec ./build/vqdemo "$@"

#!/usr/bin/env bash
# Captures the vortex at 60 frames a second and measures how the glow treats it: the washed-out
# frames and their runs (vqwashout), and the camera's beat jumps.
#   tools/measure/vortex-washout.sh [BUILD_DIR] [FROM] [UNTIL] [CAPTURE OPTIONS...]
#       (default build, 50.8, 80.8; e.g. --size 2048x1536 --msaa 4 to measure a larger picture)
set -euo pipefail
cd "$(dirname "$0")/../.."
build=${1:-build}
from=${2:-50.8}
until=${3:-80.8}
shift $(($# < 3 ? $# : 3))
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
run=()
if [ -z "${DISPLAY:-}" ] && command -v xvfb-run >/dev/null; then
    run=(xvfb-run -a -s "-screen 0 1280x1024x24 -noreset")
fi
"${run[@]}" "$build/vqdemo" --capture "$out/frames" --fps 60 --start "$from" --until "$until" --seed 1 --verbose "$@" \
    >"$out/log" 2>&1 || { tail -20 "$out/log"; exit 1; }
echo "camera jumps: $(grep -c '^vortex: jump' "$out/log" || true)"
"$build/tools/measure/vqwashout" "$out/frames" "$from" 60

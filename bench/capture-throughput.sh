#!/usr/bin/env bash
# Capture throughput: 10 s of each scene at 30 frames a second, rendered only, captured to PNG and
# captured to MP4, in frames per second. The capture's read-back, compression and encoding overlap
# the drawing of the next frames; the target is at least 90 % of the render-only rate.
#   bench/capture-throughput.sh [BUILD_DIR]    (default build; without a display it uses Xvfb)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
run=()
if [ -z "${DISPLAY:-}" ] && command -v xvfb-run >/dev/null; then
    run=(xvfb-run -a -s "-screen 0 1280x1024x24 -noreset")
fi

rate() { # capture args...; prints the frames per second of the summary
    "${run[@]}" "$build/vqdemo" "$@" --fps 30 --seed 1 >"$out/log" 2>&1 || { tail -5 "$out/log" >&2; echo 0; return; }
    sed -n 's/.*in all .* s, \([0-9.]*\) frames per second/\1/p' "$out/log"
}

printf "%-10s %10s %10s %10s %8s %8s\n" scene render-only png mp4 png% mp4%
for scene in "landscape 20" "vortex 60" "dance 95"; do
    set -- $scene
    span=(--start "$2" --frames 300)
    base=$(rate --capture "$out/none" "${span[@]}" --render-only)
    png=$(rate --capture "$out/png_$1" "${span[@]}")
    mp4=$(rate --capture "$out/$1.mp4" "${span[@]}")
    rm -rf "$out/png_$1" "$out/$1.mp4"
    awk -v s="$1" -v b="$base" -v p="$png" -v m="$mp4" \
        'BEGIN { printf "%-10s %10s %10s %10s %7.0f%% %7.0f%%\n", s, b, p, m, b ? 100 * p / b : 0, b ? 100 * m / b : 0 }'
done

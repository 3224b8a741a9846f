#!/usr/bin/env bash
# Makes the reference capture set of the piece, or compares two such sets frame by frame.
#
#   tools/compare/capture-set.sh make VQDEMO OUTDIR [--full]
#       captures, with --seed 3, five frames at 30 fps from each of the moments below, and with
#       --full also the whole piece at 10 fps, into OUTDIR/at_<S>/ and OUTDIR/full/
#   tools/compare/capture-set.sh compare DIR_A DIR_B
#       compares every frame (and audio.wav) byte for byte; lists the ones that differ and exits 1
#       when any does
#
# A change that must not alter the picture is checked by making the set with the old and the new
# program and comparing the two. Without a display the captures run under Xvfb.
set -euo pipefail

MOMENTS=(20 45 60 75 85 100 121 124)

run_headless() {
    if [ -z "${DISPLAY:-}" ] && [ "${SDL_VIDEODRIVER:-}" != offscreen ] && command -v xvfb-run >/dev/null; then
        xvfb-run -a -s "-screen 0 1280x1024x24 -noreset" "$@"
    else
        "$@"
    fi
}

make_set() {
    local exe=$1 out=$2 full=${3:-}
    mkdir -p "$out"
    for s in "${MOMENTS[@]}"; do
        rm -rf "$out/at_$s"
        run_headless "$exe" --capture "$out/at_$s" --fps 30 --start "$s" --frames 5 --seed 3 >"$out/at_$s.log" 2>&1 ||
            { echo "capture at $s s failed, see $out/at_$s.log" >&2; exit 1; }
    done
    if [ "$full" = "--full" ]; then
        rm -rf "$out/full"
        run_headless "$exe" --capture "$out/full" --fps 10 --seed 3 >"$out/full.log" 2>&1 ||
            { echo "full capture failed, see $out/full.log" >&2; exit 1; }
    fi
}

compare_sets() {
    local a=$1 b=$2 differ=0 same=0 missing=0
    while IFS= read -r -d '' f; do
        local rel=${f#"$a"/}
        if [ ! -e "$b/$rel" ]; then
            echo "missing in $b: $rel"; missing=$((missing + 1))
        elif cmp -s "$f" "$b/$rel"; then
            same=$((same + 1))
        else
            echo "differs: $rel"; differ=$((differ + 1))
        fi
    done < <(find "$a" -type f \( -name '*.png' -o -name '*.wav' \) -print0 | sort -z)
    while IFS= read -r -d '' f; do
        local rel=${f#"$b"/}
        [ -e "$a/$rel" ] || { echo "missing in $a: $rel"; missing=$((missing + 1)); }
    done < <(find "$b" -type f \( -name '*.png' -o -name '*.wav' \) -print0 | sort -z)
    echo "$same identical, $differ differing, $missing missing"
    [ $differ -eq 0 ] && [ $missing -eq 0 ]
}

case "${1:-}" in
    make) shift; make_set "$@" ;;
    compare) shift; compare_sets "$@" ;;
    *) sed -n '2,12p' "$0" >&2; exit 2 ;;
esac

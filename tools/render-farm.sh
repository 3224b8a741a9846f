#!/usr/bin/env bash
# Renders the piece as a video on many cores or machines: splits the capture into K chunks of whole
# frames, renders each losslessly (FFV1 and FLAC in Matroska) with GNU parallel, joins them with
# ffmpeg's concat demuxer and encodes the result once. Every chunk is exact (the piece's state at
# any frame follows from the music time and the seed alone), so the joined video is frame for frame
# the one a single capture would make.
#
#   tools/render-farm.sh OUTPUT.mp4 [--chunks K] [--fps R] [--seed N] [--start S] [--until S]
#                        [--sshlogin LOGINS] [--vqdemo PATH] [--keep]
#
#   --chunks K       how many chunks (default: the number of local cores)
#   --fps R          frame rate, as vqdemo takes it (default 60)
#   --seed N         the seed every chunk shares (default 1)
#   --start/--until  render only this span of the piece
#   --sshlogin L     run chunks on these hosts too (GNU parallel's --sshlogin, e.g. ":,4/alice@box");
#                    the program must be installed at the same path there; chunks come back by ssh
#   --vqdemo PATH    the program (default: build/vqdemo beside this script's project)
#   --keep           keep the chunks and the joined lossless file next to OUTPUT
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
die() { echo "render-farm: $*" >&2; exit 1; }

[ $# -ge 1 ] || { sed -n '2,20p' "$0" >&2; exit 2; }
output=$1; shift
chunks=$(nproc); fps=60; seed=1; start=0; until=""; logins=""; vqdemo="$here/build/vqdemo"; keep=0
while [ $# -gt 0 ]; do
    case "$1" in
        --chunks) chunks=$2; shift 2 ;;
        --fps) fps=$2; shift 2 ;;
        --seed) seed=$2; shift 2 ;;
        --start) start=$2; shift 2 ;;
        --until) until=$2; shift 2 ;;
        --sshlogin) logins=$2; shift 2 ;;
        --vqdemo) vqdemo=$2; shift 2 ;;
        --keep) keep=1; shift ;;
        *) die "unknown option $1" ;;
    esac
done
command -v parallel >/dev/null || die "needs GNU parallel (apt-get install parallel)"
command -v ffmpeg >/dev/null || die "needs ffmpeg (apt-get install ffmpeg)"
[ -x "$vqdemo" ] || die "no program at $vqdemo (build it, or give --vqdemo)"

span=(--fps "$fps" --seed "$seed" --start "$start")
counted=("${span[@]}")
[ -n "$until" ] && counted+=(--until "$until")
total=$("$vqdemo" --capture /dev/null "${counted[@]}" --count-frames)
[ "$total" -gt 0 ] || die "the span holds no frame"
[ "$chunks" -ge 1 ] || chunks=1
size=$(( (total + chunks - 1) / chunks ))

work=$(mktemp -d "$(dirname "$(realpath -m "$output")")/render-farm.XXXXXX")
[ $keep -eq 1 ] || trap 'rm -rf "$work"' EXIT
echo "render-farm: $total frames in chunks of $size, into $work"

# Without a display the program draws headless; under Xvfb where that is all there is.
xrun=""
if [ -z "${DISPLAY:-}" ] && [ -z "${SDL_VIDEODRIVER:-}" ] && command -v xvfb-run >/dev/null; then
    xrun="xvfb-run -a -s '-screen 0 1280x1024x24 -noreset'"
fi
jobs=()
for (( first = 0, k = 0; first < total; first += size, k++ )); do
    n=$(( total - first < size ? total - first : size ))
    name=$(printf "chunk_%04d.mkv" "$k")
    jobs+=("$xrun '$vqdemo' --capture $name --lossless ${span[*]} --from-frame $first --frames $n > $name.log 2>&1")
done
parallel_args=(--halt now,fail=1 --line-buffer)
if [ -n "$logins" ]; then
    parallel_args+=(--sshlogin "$logins" --workdir ... --return '{= s/.* --capture ([^ ]*) .*/$1/ =}' --cleanup)
fi
( cd "$work" && printf '%s\n' "${jobs[@]}" | parallel "${parallel_args[@]}" ) ||
    die "a chunk failed; see $work/*.log"

( cd "$work" && for f in chunk_*.mkv; do echo "file '$f'"; done > list.txt &&
  ffmpeg -v error -y -f concat -safe 0 -i list.txt -c copy joined.mkv ) || die "joining the chunks failed"
ffmpeg -v error -y -i "$work/joined.mkv" -c:v libx264 -preset slow -crf 18 -pix_fmt yuv420p \
    -colorspace bt709 -color_primaries bt709 -color_trc bt709 -color_range tv \
    -c:a aac -b:a 256k -movflags +faststart "$output" || die "the final encode failed"
echo "render-farm: $output"

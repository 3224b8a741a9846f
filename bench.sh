#!/usr/bin/env bash
# Builds the piece for speed (Release, generic x86-64) into ./build-bench, with its data folder,
# and runs every benchmark under bench/. Benchmarks that draw need a display: without one they
# run under Xvfb. Extra arguments go to each benchmark binary, for example
#   ./bench.sh --benchmark_filter=Sea --benchmark_repetitions=5
# Figures are only meaningful on an otherwise idle machine: the sea's filter shares its rows
# between two threads that wait for each other.
set -euo pipefail
cd "$(dirname "$0")"

BUILD=build-bench
cmake -S . -B "$BUILD" -DCMAKE_BUILD_TYPE=Release -DVQ_BUILD_TESTS=ON >/dev/null
cmake --build "$BUILD" -j "$(nproc)"

export VQ_DATA_DIR="$PWD/$BUILD/data"
run=()
if [ -z "${DISPLAY:-}" ] && command -v xvfb-run >/dev/null; then
    run=(xvfb-run -a -s "-screen 0 1280x1024x24 -noreset")
fi

status=0
found=0
for src in bench/bench_*.cpp; do
    [ -e "$src" ] || continue
    found=1
    t="$(basename "$src" .cpp)"
    echo "== $t"
    "${run[@]}" "$BUILD/bench/$t" "$@" || status=1
done
[ $found -eq 1 ] || echo "no benchmarks under bench/"
exit $status

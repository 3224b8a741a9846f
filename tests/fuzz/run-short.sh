#!/usr/bin/env bash
# Short fuzz runs of every reader of the piece's data, a few seconds each, from the seed corpus: the
# text seeds kept in tests/fuzz/seeds/ and the binary ones make_fuzz_seeds writes with the piece's
# own writers. Builds the libFuzzer targets with clang into build-fuzz/. Exits 1 when a target finds
# a crash, a sanitizer report, a time-out or a broken promise; the input is kept in
# build-fuzz/artifacts/.
#   tests/fuzz/run-short.sh [seconds per target]      (default 4, or $VQ_FUZZ_SECONDS)
set -euo pipefail
cd "$(dirname "$0")/../.."
seconds=${1:-${VQ_FUZZ_SECONDS:-4}}
targets=(khlf ahlf ohlf chlf ihlf bmp jpeg shader_text)

if ! command -v clang++ >/dev/null 2>&1; then
    echo "fuzz: clang++ not found; the short fuzz runs are skipped"
    exit 0
fi
mkdir -p build-fuzz
if ! { cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_C_COMPILER=clang \
        -DCMAKE_CXX_COMPILER=clang++ -DVQ_FUZZ=ON &&
       cmake --build build-fuzz -j2 --target fuzz_all; } >build-fuzz/build.log 2>&1; then
    tail -30 build-fuzz/build.log
    echo "fuzz: the targets do not build (build-fuzz/build.log)"
    exit 1
fi

rm -rf build-fuzz/corpus build-fuzz/artifacts
mkdir -p build-fuzz/corpus build-fuzz/artifacts
./build-fuzz/tests/fuzz/make_fuzz_seeds build-fuzz/corpus
failed=0
start=$(date +%s)
for t in "${targets[@]}"; do
    corpus=build-fuzz/corpus/$t
    mkdir -p "$corpus"
    if [ -d "tests/fuzz/seeds/$t" ]; then cp tests/fuzz/seeds/"$t"/* "$corpus"/; fi
    log=build-fuzz/fuzz_$t.log
    # One process, one input at a time: the machine is shared.
    if ./build-fuzz/tests/fuzz/fuzz_"$t" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
        -artifact_prefix=build-fuzz/artifacts/"$t"- "$corpus" >"$log" 2>&1; then
        runs=$(grep -o 'Done [0-9]* runs' "$log" | tail -1 | grep -o '[0-9]*' || echo '?')
        echo "fuzz_$t: ok, $runs inputs in ${seconds} s"
    else
        failed=1
        echo "fuzz_$t: FAILED"
        grep -E 'ERROR|runtime error|broken promise|Test unit written' "$log" | head -5 || tail -20 "$log"
    fi
done
echo "fuzz: ${#targets[@]} targets in $(($(date +%s) - start)) s"
exit $failed

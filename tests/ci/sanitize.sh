#!/usr/bin/env bash
# Builds the program and its loader, format and scene tests with AddressSanitizer and UBSan into
# build-asan/ and runs those tests once against the data folder of the Release build in build/
# (the generators' output is the same either way, and running them instrumented would only cost
# time). Any sanitizer report fails the run.
# Usage: tests/ci/sanitize.sh   (after ./setup.sh -DVQ_BUILD_TESTS=ON has built build/)
set -euo pipefail
cd "$(dirname "$0")/../.."

TESTS=(test_khlf test_ahlf test_ohlf test_chlf test_ihlf test_hlf_writers test_texture test_shader_text
       test_asset_check test_data_files test_file_access test_gl_errors test_hostile_data test_wav_writer
       test_resample test_scene_landscape test_scene_vortex test_scene_dance)
DATA="$PWD/build/data"
[ -d "$DATA" ] || { echo "sanitize: no $DATA; build the Release tree first (./setup.sh -DVQ_BUILD_TESTS=ON)" >&2; exit 1; }

cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVQ_BUILD_TESTS=ON -DVQ_SANITIZE=ON \
      -DVQ_WERROR=ON >/dev/null
if ! cmake --build build-asan -j "$(nproc)" --target vqdemo "${TESTS[@]}" >build-asan/build.log 2>&1; then
    tail -40 build-asan/build.log
    echo "sanitize: the instrumented build failed (build-asan/build.log)" >&2
    exit 1
fi

# The program finds its data beside itself, as a build folder has it.
# (the instrumented tree makes an empty folder there; nothing of it is built into it).
[ -L build-asan/data ] || { rm -rf build-asan/data && ln -s "$DATA" build-asan/data; }
export VQ_DATA_DIR="$DATA" VQ_BINARY="$PWD/build-asan/vqdemo" VQ_SOURCE_DIR="$PWD"
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
# The list of suppressions used would land in the middle of the program output the tests read.
export LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp:print_suppressions=0"
run=()
if [ -z "${DISPLAY:-}" ] && command -v xvfb-run >/dev/null; then
    run=(xvfb-run -a -s "-screen 0 1280x1024x24 -noreset")
fi
status=0
for t in "${TESTS[@]}"; do
    if out=$("${run[@]}" "build-asan/tests/$t" --gtest_brief=1 2>&1); then
        echo "sanitize: $t passed"
    else
        echo "$out" | tail -40
        echo "sanitize: $t FAILED"
        status=1
    fi
done
exit $status

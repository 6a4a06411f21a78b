#!/usr/bin/env bash
# test.sh - installs what is missing, builds everything and runs the whole
# test suite twice: a release build (with the Python module and its
# tests), then a build with the address and undefined-behaviour
# sanitizers (unoptimised: it builds fastest). Then the
# multi-threaded tests under the thread sanitizer, and every fuzz target
# for 20 seconds on its seeds.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/deps.sh

install_missing "${BUILD_PACKAGES[@]}" "${PYTHON_PACKAGES[@]}" "${TEST_PACKAGES[@]}"

run_suite() {
    local dir=$1
    shift
    cmake -S . -B "$dir" "$@" >/dev/null
    cmake --build "$dir" -j"$(build_jobs)"
    ctest --test-dir "$dir" --output-on-failure -j"$(build_jobs)"
}

echo "== release build, with the Python module and its tests =="
run_suite build-test -DCMAKE_BUILD_TYPE=Release -DBINSCOPE_PYTHON=ON
echo "== address and undefined-behaviour sanitizers =="
run_suite build-sanitize -DCMAKE_BUILD_TYPE=Debug -DBINSCOPE_SANITIZE=address,undefined
echo "== thread sanitizer: the multi-threaded tests =="
cmake -S . -B build-tsan -DCMAKE_BUILD_TYPE=Debug -DBINSCOPE_SANITIZE=thread >/dev/null
cmake --build build-tsan --target region_tests bigwig_tests matrix_tests output_tests e2e_tests matrix_file_tests \
    figure_tests figure_order_tests -j"$(build_jobs)"
ctest --test-dir build-tsan --output-on-failure -j"$(build_jobs)" -R '^(RegionFilesInParts|Compute|BuildMatrix|SegmentedGzip|Determinism|FaultInjection|RemoteScoreFiles|MatrixFileReader|Downsample|ColorScale|ProfileStats|Kmeans)\.'
echo "== fuzz targets, 20 s each =="
bash fuzz/run.sh 20
echo "All tests passed in every build."

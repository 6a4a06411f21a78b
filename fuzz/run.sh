#!/usr/bin/env bash
# run.sh - builds the fuzz targets with clang and runs each in turn, for a
# fixed time, on a scratch copy of its seeds in fuzz/corpus/<name>.
#
#   fuzz/run.sh [SECONDS [TARGET...]]     (default: 20 s, every target)
#
# Environment: FUZZ_CXX (default clang++-19), FUZZ_BUILD_DIR (default
# build-fuzz-libfuzzer), FUZZ_EXTRA_SEEDS (a folder of more seeds for every
# target, optional), FUZZ_JOBS (build jobs). A crash, leak, timeout or
# out-of-memory stops the script with status 1 and leaves the input in
# $FUZZ_BUILD_DIR/artifacts.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-20}
[ $# -gt 0 ] && shift
build=${FUZZ_BUILD_DIR:-build-fuzz-libfuzzer}
cxx=${FUZZ_CXX:-clang++-19}

targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
    for src in fuzz/*_fuzzer.cpp; do
        name=$(basename "$src" .cpp)
        targets+=("$name")
    done
fi

if [ -z "${FUZZ_CXX:-}" ]; then
    # The compiler and its libFuzzer runtime, from the distribution.
    source scripts/deps.sh
    install_missing clang-19 libclang-rt-19-dev
fi

cmake -S . -B "$build" -DCMAKE_CXX_COMPILER="$cxx" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DBINSCOPE_FUZZ=ON -DBINSCOPE_TESTS=OFF >/dev/null
cmake --build "$build" --target "${targets[@]}" -j"${FUZZ_JOBS:-$(nproc)}"

mkdir -p "$build/artifacts"
for target in "${targets[@]}"; do
    seeds=fuzz/corpus/${target%_fuzzer}
    work=$(mktemp -d)
    extra=()
    if [ -n "${FUZZ_EXTRA_SEEDS:-}" ]; then extra=("$FUZZ_EXTRA_SEEDS"); fi
    echo "== $target: ${seconds} s on $seeds =="
    # stderr of the target is closed (-close_fd_mask=2): the score-file
    # reader reports every failed open there. libFuzzer and the sanitizers
    # keep their own copy of it.
    status=0
    "$build/$target" "$work" "$seeds" "${extra[@]}" -max_total_time="$seconds" -rss_limit_mb=2048 \
        -timeout=10 -max_len="${FUZZ_MAX_LEN:-8192}" -close_fd_mask=2 -print_final_stats=1 \
        -artifact_prefix="$build/artifacts/$target-" >"$build/$target.log" 2>&1 || status=$?
    grep -E '^(stat::number_of_executed_units|stat::peak_rss_mb|#[0-9]+ +DONE)' "$build/$target.log" || true
    rm -rf "$work"
    if [ "$status" -ne 0 ]; then
        tail -n 60 "$build/$target.log"
        echo "$target failed; input saved under $build/artifacts/" >&2
        exit 1
    fi
done
echo "All fuzz targets ran clean."

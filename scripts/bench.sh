#!/usr/bin/env bash
# bench.sh - installs what is missing, builds binscope and the genome
# benchmark in Release mode (into build-bench/) and runs the benchmark.
#
# Usage: bash scripts/bench.sh [DATA_FOLDER] [genome_bench options]
#   DATA_FOLDER  where the generated data set (about 1.7 GB) is kept between
#                runs; default: <temp>/binscope-genome-bench
# Options such as --only W1,W3, --repeat 3 or --remove-data are passed on.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/deps.sh

install_missing "${BUILD_PACKAGES[@]}" "${TEST_PACKAGES[@]}"
cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release -DBINSCOPE_BENCH=ON >/dev/null
cmake --build build-bench --target binscope genome_bench -j"$(build_jobs)"

data="${TMPDIR:-/tmp}/binscope-genome-bench"
if [ $# -gt 0 ] && [[ "$1" != -* ]]; then
    data="$1"
    shift
fi
exec build-bench/genome_bench --data "$data" --exe build-bench/binscope "$@"

#!/usr/bin/env bash
# bench_remote.sh - the genome benchmark's W1 (reference-point TSS -b 500
# -a 1500 --binSize 10, genes x 4 score files, -p 2) read from the files on
# disk and from a server on 127.0.0.1 that waits before answering every
# request (20 ms, then 100 ms): wall time, requests, body bytes, most
# requests in flight and peak memory, and whether the matrix equals the
# local run's. Several executables (say the code before and after a
# change) are run alternately on the same data.
#
# Usage: bash scripts/bench_remote.sh DATA_FOLDER BUILD_DIR [EXE...]
#   DATA_FOLDER  the genome benchmark's data set (scripts/bench.sh makes it)
#   BUILD_DIR    a build with -DBINSCOPE_BENCH=ON holding http_serve
#   EXE          binscope executables to compare (default BUILD_DIR/binscope)
# Environment: GENES=N keeps the first N genes only (a smaller run, to be
# stated with its figures); DELAYS="0 20 100" the delays in ms (0: local).
set -euo pipefail
data=$1
build=$2
shift 2
exes=("$@")
[ ${#exes[@]} -gt 0 ] || exes=("$build/binscope")
delays=${DELAYS:-0 20 100}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

genes=$data/genes.bed
if [ -n "${GENES:-}" ]; then
    head -n "$GENES" "$genes" >"$work/genes.bed"
    genes=$work/genes.bed
fi
files=("$data"/sample1.bw "$data"/sample2.bw "$data"/sample3.bw "$data"/sample4.bw)

# run EXE OUT SCORE... : prints "wall_seconds peak_kib".
run() {
    local exe=$1 out=$2
    shift 2
    /usr/bin/time -f '%e %M' -o "$work/time" "$exe" reference-point -R "$genes" -o "$out" -S "$@" \
        -b 500 -a 1500 --binSize 10 -p 2 -q
    cat "$work/time"
}

printf '%-10s %-6s %9s %9s %12s %9s %10s %s\n' exe delay wall_s requests body_MB in_flight peak_MiB matrix
for delay in $delays; do
    for i in "${!exes[@]}"; do
        exe=${exes[$i]}
        out=$work/m$i-$delay.gz
        if [ "$delay" = 0 ]; then
            read -r wall peak < <(run "$exe" "$out" "${files[@]}")
            requests=- bytes=- most=-
            cp "$out" "$work/local$i.gz"
        else
            coproc SERVER { "$build/http_serve" --delay "$delay" "${files[@]}"; }
            urls=()
            for _ in "${files[@]}"; do
                read -r url <&"${SERVER[0]}"
                urls+=("$url")
            done
            read -r wall peak < <(run "$exe" "$out" "${urls[@]}")
            exec {SERVER[1]}>&-
            read -r _ requests <&"${SERVER[0]}"
            read -r _ _ bytes <&"${SERVER[0]}"
            read -r _ _ _ most <&"${SERVER[0]}"
            wait "$SERVER_PID" || true
            bytes=$(awk -v b="$bytes" 'BEGIN { printf "%.0f", b / 1e6 }')
        fi
        same=differs
        if [ -f "$work/local0.gz" ] && cmp -s <(zcat "$out") <(zcat "$work/local0.gz"); then same=same; fi
        printf '%-10s %-6s %9s %9s %12s %9s %10s %s\n' "$(basename "$exe")" "$delay" "$wall" "$requests" "$bytes" \
            "$most" "$((peak / 1024))" "$same"
    done
done

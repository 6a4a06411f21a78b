#!/usr/bin/env bash
# matrix_ops_bench.sh BINSCOPE [DATA_FOLDER] - the matrix operations on the
# genome benchmark's W1 matrix (reference-point -b 500 -a 1500 --binSize 10,
# 60,000 genes x 4 bigWig files; data from scripts/bench.sh), each at -p 1
# and -p 2, timed alternately with `gzip -dc` of its inputs, and against the
# direct run it replaces. Prints one table row per operation: seconds,
# peak resident memory, ratio to gzip -dc, ratio to the direct run.
set -euo pipefail
exe=$1
data=${2:-${TMPDIR:-/tmp}/binscope-genome-bench}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
scores=("$data"/sample{1,2,3,4}.bw)
w1=(-R "$data/genes.bed" -b 500 -a 1500 --binSize 10 -q)

# seconds and peak kB of a command, as "S KB".
measure() {
    /usr/bin/time -f "%e %M" -o "$work/time" "$@" >/dev/null
    cat "$work/time"
}
best() { sort -n | head -1; }

# The inputs: the W1 matrix, its two chunks, its samples in two runs.
"$exe" reference-point -S "${scores[@]}" "${w1[@]}" -o "$work/w1.gz" -p 2
"$exe" reference-point -S "${scores[@]}" "${w1[@]}" -o "$work/c1.gz" -p 2 --chunk 1/2
"$exe" reference-point -S "${scores[@]}" "${w1[@]}" -o "$work/c2.gz" -p 2 --chunk 2/2
"$exe" reference-point -S "${scores[@]:0:2}" "${w1[@]}" -o "$work/s12.gz" -p 2
"$exe" reference-point -S "${scores[@]:2:2}" "${w1[@]}" -o "$work/s34.gz" -p 2
awk '$6 == "+"' "$data/genes.bed" >"$work/plus.bed"

# The direct runs each operation replaces, at -p 2.
declare -A direct
direct[rbind]=$(measure "$exe" reference-point -S "${scores[@]}" "${w1[@]}" -o "$work/d.gz" -p 2 | cut -d' ' -f1)
direct[cbind]=${direct[rbind]}
direct[subset]=$(measure "$exe" reference-point -S "${scores[@]:1:2}" "${w1[@]}" -o "$work/d.gz" -p 2 | cut -d' ' -f1)
direct[filter]=$(measure "$exe" reference-point -S "${scores[@]}" -R "$work/plus.bed" -b 500 -a 1500 --binSize 10 -q \
    -o "$work/d.gz" -p 2 | cut -d' ' -f1)
direct[sort]=$(measure "$exe" reference-point -S "${scores[@]}" "${w1[@]}" -o "$work/d.gz" -p 2 --sortRegions descend |
    cut -d' ' -f1)

declare -A inputs=(
    [rbind]="$work/c1.gz $work/c2.gz" [cbind]="$work/s12.gz $work/s34.gz" [subset]="$work/w1.gz"
    [filter]="$work/w1.gz" [sort]="$work/w1.gz")
declare -A options=(
    [rbind]="" [cbind]="" [subset]="--samples 2 3" [filter]="--strand +" [sort]="--sortRegions descend")

printf "| operation | -p | seconds | peak MB | gzip -dc s | x gzip -dc | direct run s | x direct |\n"
printf "|---|---|---|---|---|---|---|---|\n"
for op in rbind subset filter cbind sort; do
    read -r -a in <<<"${inputs[$op]}"
    read -r -a opt <<<"${options[$op]}"
    for threads in 1 2; do
        runs=() gz=()
        for repeat in 1 2; do
            gz+=("$(measure sh -c "cat $(printf '%q ' "${in[@]}") | gzip -dc" | cut -d' ' -f1)")
            runs+=("$(measure "$exe" matrix "$op" -m "${in[@]}" "${opt[@]}" -o "$work/out.gz" -p "$threads" -q)")
        done
        t=$(printf '%s\n' "${runs[@]}" | cut -d' ' -f1 | best)
        peak=$(printf '%s\n' "${runs[@]}" | cut -d' ' -f2 | sort -n | tail -1)
        g=$(printf '%s\n' "${gz[@]}" | best)
        awk -v op="$op" -v p="$threads" -v t="$t" -v m="$peak" -v g="$g" -v d="${direct[$op]}" \
            'BEGIN { printf "| %s | %s | %.2f | %.0f | %.2f | %.2f | %.2f | %.3f |\n", op, p, t, m / 1024, g, t / g, d, t / d }'
    done
done
ls -l "$work"/*.gz | awk '{ printf "%s %.0f MB\n", $NF, $5 / 1e6 }' >&2

#!/usr/bin/env bash
# workflow_test.sh BINSCOPE SOURCE_DIR - runs the Snakemake workflow of
# examples/workflow on a copy of the example, with one more sample group
# and region set, and checks that every matrix equals a direct run's; then
# scattered over 3 chunks per matrix, with two region files and sorted
# rows, gathered back into the sorted single run's file.
set -euo pipefail
binscope=$1
source_dir=$2
command -v snakemake >/dev/null || { echo "SKIP: snakemake is not installed (Debian package snakemake)"; exit 77; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/workflow"
cp "$source_dir/examples/example.bw" "$source_dir/examples/genes.bed" "$work/"
cp "$source_dir/examples/workflow/Snakefile" "$source_dir/examples/workflow/config.yaml" "$work/workflow/"
head -n 5 "$work/genes.bed" >"$work/first.bed"
cat >"$work/workflow/more.yaml" <<'YAML'
samples:
  twice: [../example.bw, ../example.bw]
regions:
  first: ../first.bed
YAML

cd "$work/workflow"
XDG_CACHE_HOME=$work/cache snakemake -c 2 --configfile more.yaml --config "binscope=$binscope" >snakemake.out 2>&1 ||
    { cat snakemake.out; echo "FAIL: snakemake failed"; exit 1; }

# The direct runs: the subcommand and options of config.yaml, 2 threads as
# the workflow's jobs get them with -c 2.
subcommand=$(sed -n 's/^subcommand: *//p' config.yaml)
read -r -a options <<<"$(sed -n 's/^options: *//p' config.yaml)"
checked=0
for group in example twice; do
    scores=(../example.bw)
    [ "$group" = twice ] && scores+=(../example.bw)
    for regions in genes first; do
        "$binscope" "$subcommand" -S "${scores[@]}" -R "../$regions.bed" -o direct.gz -p 2 "${options[@]}" -q
        if ! cmp -s <(gzip -dc "results/$group/$regions.gz") <(gzip -dc direct.gz); then
            echo "FAIL: results/$group/$regions.gz differs from the direct run"
            exit 1
        fi
        grep -q '^\[binscope\] Wrote ' "results/logs/$group/$regions.log" ||
            { echo "FAIL: no log of $group/$regions"; exit 1; }
        checked=$((checked + 1))
    done
done
[ "$(find results -name '*.gz' | wc -l)" -eq "$checked" ] || { echo "FAIL: unexpected matrices"; find results; exit 1; }
echo "snakemake $(snakemake --version): $checked matrices equal to the direct runs"

# Scattered and gathered: 3 chunks per matrix, two region files in one
# set, the rows sorted.
cat >"$work/workflow/chunks.yaml" <<'YAML'
results: scattered
chunks: 3
samples:
  twice: [../example.bw, ../example.bw]
regions:
  both: [../genes.bed, ../first.bed]
YAML
sorted_options="$(sed -n 's/^options: *//p' config.yaml) --sortRegions descend --sortUsing max"
start=$(date +%s.%N)
XDG_CACHE_HOME=$work/cache snakemake -c 2 --configfile chunks.yaml --config "binscope=$binscope" \
    "options=$sorted_options" >scattered.out 2>&1 || { cat scattered.out; echo "FAIL: the scattered run failed"; exit 1; }
took=$(awk -v s="$start" -v e="$(date +%s.%N)" 'BEGIN { printf "%.1f", e - s }')
read -r -a sorted <<<"$sorted_options"
for group in example twice; do
    scores=(../example.bw)
    [ "$group" = twice ] && scores+=(../example.bw)
    for regions in genes both; do
        files=(../genes.bed)
        [ "$regions" = both ] && files+=(../first.bed)
        "$binscope" "$subcommand" -S "${scores[@]}" -R "${files[@]}" -o direct.gz -p 2 "${sorted[@]}" -q
        cmp -s <(gzip -dc "scattered/$group/$regions.gz") <(gzip -dc direct.gz) ||
            { echo "FAIL: the gathered scattered/$group/$regions.gz differs from the sorted single run"; exit 1; }
        grep -q "^\[binscope\] Wrote scattered/$group/$regions.gz" "scattered/logs/$group/$regions.log" ||
            { echo "FAIL: no gather log of $group/$regions"; exit 1; }
    done
done
[ "$(find scattered -name '*.gz' | wc -l)" -eq 4 ] || { echo "FAIL: chunks left behind"; find scattered; exit 1; }
echo "4 matrices in 3 chunks each (one set of two region files), sorted, gathered into the single runs' files in ${took} s"

#!/usr/bin/env bash
# workflow_test.sh BINSCOPE SOURCE_DIR - runs the Snakemake workflow of
# examples/workflow on a copy of the example, with one more sample group
# and region set, and checks that every matrix equals a direct run's.
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

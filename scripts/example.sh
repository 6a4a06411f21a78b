#!/usr/bin/env bash
# example.sh - installs what is missing, builds binscope, computes both
# kinds of matrix of the small example in examples/ and draws them, writing
# to examples/out/.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/deps.sh

build_example_binary

bin=build-example/binscope
out=examples/out
mkdir -p "$out"

"$bin" reference-point -S examples/example.bw -R examples/genes.bed \
    -o "$out/reference_point.gz" --outFileNameMatrix "$out/reference_point.tab" \
    --outFileSortedRegions "$out/reference_point.bed" \
    --beforeRegionStartLength 1000 --afterRegionStartLength 1000 --binSize 50
"$bin" scale-regions -S examples/example.bw -R examples/genes.bed \
    -o "$out/scale_regions.gz" --regionBodyLength 1000 --binSize 50 \
    --sortRegions descend --outFileSortedRegions "$out/scale_regions.bed"
# The figures of both matrices: heat maps with the genes in two k-means
# clusters (and the genes of each cluster), and average profiles.
"$bin" heatmap -m "$out/reference_point.gz" -o "$out/reference_point_heatmap.png" \
    --kmeans 2 --outFileSortedRegions "$out/reference_point_clusters.bed"
"$bin" profile -m "$out/scale_regions.gz" -o "$out/scale_regions_profile.svg" --band se

echo
echo "Outputs written to $(pwd)/$out:"
ls -l "$out"
echo
echo "Start of the header line of $out/reference_point.gz:"
gzip -dc "$out/reference_point.gz" | head -n 1 | cut -c1-160
echo "Its first row (six region columns, then the first bins):"
gzip -dc "$out/reference_point.gz" | sed -n 2p | cut -f1-12

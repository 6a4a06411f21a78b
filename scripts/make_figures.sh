#!/usr/bin/env bash
# make_figures.sh - draws the README's figures, docs/heatmap.png,
# docs/profile.png, docs/profile_per_group.png and
# docs/heatmap_per_group.png, from the small example in examples/.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/deps.sh

build_example_binary

bin=build-example/binscope
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p docs

"$bin" reference-point -S examples/example.bw -R examples/genes.bed -o "$work/tss.gz" \
    --beforeRegionStartLength 1000 --afterRegionStartLength 1000 --binSize 50 --quiet
"$bin" scale-regions -S examples/example.bw -R examples/genes.bed -o "$work/body.gz" \
    --regionBodyLength 1000 --binSize 50 --quiet

"$bin" heatmap -m "$work/tss.gz" -o docs/heatmap.png --kmeans 2 --sortRegions descend \
    --panelHeight 8 --profileHeight 3 --dpi 100 --plotTitle "Example: signal around the TSS"
"$bin" profile -m "$work/body.gz" -o docs/profile.png --band se \
    --panelWidth 6 --dpi 100 --plotTitle "Example: scaled gene bodies"
"$bin" profile -m "$work/tss.gz" -o docs/profile_per_group.png --kmeans 2 --perGroup --yAxis shared \
    --plotType fill --colors darkblue --yAxisLabel "mean signal" --xAxisLabel "distance to the TSS" \
    --legendLocation upper-left --dpi 100 --plotTitle "Example: TSS profiles per cluster"
"$bin" heatmap -m "$work/tss.gz" -o docs/heatmap_per_group.png --kmeans 2 --perGroup --yAxis shared \
    --sortRegions descend --panelHeight 6 --profileHeight 3 --dpi 100 \
    --plotTitle "Example: heat maps per cluster"
ls -l docs/heatmap.png docs/profile.png docs/profile_per_group.png docs/heatmap_per_group.png

"""test_figure_data.py - the numbers behind a figure's profiles
(--outFileNameData) against numpy, on random matrices with missing
values: mean and median, each band, a line per group and per sample, and
the samples and groups chosen by --samples and --groups, and the lines of
`heatmap --perGroup` (per sample within each group's column)."""
import csv
import gzip
import json
import math
import os
import subprocess

import numpy as np
import pytest

GROUPS = [("up", 15), ("one", 1), ("down", 24), ("gaps", 6)]
SAMPLES = [("s1", 7), ("s2", 5)]  # 3 bins upstream, the rest downstream, bins of 10


def write_matrix(path, seed):
    """A reference-point matrix of random float32 values, 15 % missing, and
    the last group missing everything in its first bin of each sample."""
    random = np.random.default_rng(seed)
    rows = sum(size for _, size in GROUPS)
    cols = sum(bins for _, bins in SAMPLES)
    values = random.uniform(-5, 20, size=(rows, cols)).astype(np.float32)
    values[random.random(size=values.shape) < 0.15] = np.nan
    gaps = rows - GROUPS[-1][1]
    values[gaps:, 0] = np.nan
    values[gaps:, SAMPLES[0][1]] = np.nan
    n = len(SAMPLES)
    header = {
        "upstream": [30] * n, "downstream": [(bins - 3) * 10 for _, bins in SAMPLES], "body": [0] * n,
        "bin size": [10] * n, "ref point": ["TSS"] * n, "unscaled 5 prime": [0] * n, "unscaled 3 prime": [0] * n,
        "sample_labels": [label for label, _ in SAMPLES],
        "sample_boundaries": list(np.cumsum([0] + [bins for _, bins in SAMPLES]).tolist()),
        "group_labels": [label for label, _ in GROUPS],
        "group_boundaries": list(np.cumsum([0] + [size for _, size in GROUPS]).tolist()),
    }
    with gzip.open(path, "wt") as out:
        out.write("@" + json.dumps(header) + "\n")
        for r in range(rows):
            cells = ["nan" if math.isnan(v) else repr(float(v)) for v in values[r]]
            out.write("\t".join(["chr1", str(100 * r), str(100 * r + 50), f"r{r}", "0", "+"] + cells) + "\n")
    return values


def run(*args):
    done = subprocess.run([os.environ["BINSCOPE_EXE"], *map(str, args)], capture_output=True, text=True)
    assert done.returncode == 0, done.stderr


def expected_line(values, rows, cols, average, band):
    """Per bin: (value, band, count) as the table writes them."""
    out = []
    for c in cols:
        column = values[rows, c].astype(np.float64)
        finite = column[~np.isnan(column)]
        if finite.size == 0:
            out.append((None, None, 0))
            continue
        center = np.mean(finite) if average == "mean" else np.median(finite)
        spread = None
        if band != "none":
            spread = np.std(finite, ddof=1) if finite.size > 1 else 0.0
            if band == "se":
                spread /= math.sqrt(finite.size)
        out.append((center, spread, finite.size))
    return out


def read_table(path):
    with open(path, newline="") as f:
        rows = list(csv.reader(f, delimiter="\t"))
    assert rows[0] == ["sample", "group", "bin", "label", "value", "band", "count"]
    return rows[1:]


def close(text, number):
    if number is None:
        return text == ""
    return text != "" and math.isclose(float(text), number, rel_tol=1e-12, abs_tol=1e-12)


# (subcommand options, samples drawn (indexes), groups drawn (indexes), a line per sample in a group's panel)
CASES = [
    (["heatmap"], [0, 1], [0, 1, 2, 3], False),
    (["profile"], [0, 1], [0, 1, 2, 3], False),
    (["profile", "--perGroup"], [0, 1], [0, 1, 2, 3], True),
    (["heatmap", "--samples", "2", "s1", "--groups", "down", "1"], [1, 0], [2, 0], False),
    (["profile", "--perGroup", "--samples", "s2", "--groups", "4", "one"], [1], [3, 1], True),
    (["heatmap", "--perGroup"], [0, 1], [0, 1, 2, 3], True),
    (["heatmap", "--perGroup", "--numPlotsPerRow", "2", "--samples", "s2", "1", "--groups", "gaps", "2"],
     [1, 0], [3, 1], True),
]


@pytest.mark.parametrize("average", ["mean", "median"])
@pytest.mark.parametrize("band", ["none", "se", "std"])
@pytest.mark.parametrize("case", CASES)
def test_the_table_holds_what_numpy_computes(tmp_path, average, band, case):
    command, samples, groups, per_group = case
    values = write_matrix(tmp_path / "m.gz", seed=len(command) * 7 + len(band))
    run(*command, "-m", tmp_path / "m.gz", "-o", tmp_path / "f.png", "--outFileNameData", tmp_path / "d.tsv",
        "--averageType", average, "--band", band, "-p", "2")
    table = read_table(tmp_path / "d.tsv")

    sample_start = np.cumsum([0] + [bins for _, bins in SAMPLES])
    group_start = np.cumsum([0] + [size for _, size in GROUPS])
    pairs = [(g, s) for g in groups for s in samples] if per_group else [(g, s) for s in samples for g in groups]
    at = 0
    for g, s in pairs:
        bins = SAMPLES[s][1]
        rows = slice(group_start[g], group_start[g + 1])
        cols = range(sample_start[s], sample_start[s] + bins)
        labels = {1: "-0.03kb", 4: "TSS", bins: f"0.0{bins - 3}kb"}
        for b, (center, spread, count) in enumerate(expected_line(values, rows, cols, average, band), start=1):
            line = table[at]
            at += 1
            assert line[:4] == [SAMPLES[s][0], GROUPS[g][0], str(b), labels.get(b, "")], line
            assert close(line[4], center) and close(line[5], spread) and line[6] == str(count), (line, center, spread)
    assert at == len(table)

"""test_matrix_ops.py - binscope.rbind, binscope.cbind and the Matrix
operations: each new Matrix's write() gives the file the command line's
`binscope matrix` operation writes from the same matrices."""
import pytest

import binscope
from conftest import run_cli


def computed(data, scores, regions, **options):
    return binscope.reference_point([str(data / s) for s in scores], [str(data / r) for r in regions],
                                    bin_size=100, **options)


def written(matrix, path):
    matrix.write(str(path))
    return path


def same_file_as_cli(tmp_path, result, *args):
    """result.write() equals `binscope matrix ARGS -o cli.gz`, byte for byte."""
    status, err = run_cli("matrix", *args, "-o", tmp_path / "cli.gz", "-q")
    assert status == 0, err
    assert written(result, tmp_path / "py.gz").read_bytes() == (tmp_path / "cli.gz").read_bytes()


def test_rbind(tmp_path, data):
    a = computed(data, ["a.bw", "b.bw"], ["genes.bed"])
    b = computed(data, ["a.bw", "b.bw"], ["grouped.bed"])
    same_file_as_cli(tmp_path, binscope.rbind([a, b]), "rbind", "-m", written(a, tmp_path / "a.gz"),
                     written(b, tmp_path / "b.gz"))


def test_cbind(tmp_path, data):
    a = computed(data, ["a.bw"], ["grouped.bed"])
    b = computed(data, ["b.bw"], ["grouped.bed"])
    result = binscope.cbind([a, b], number_of_processors=2)
    assert result.sample_labels == ["a", "b"]
    same_file_as_cli(tmp_path, result, "cbind", "-m", written(a, tmp_path / "a.gz"), written(b, tmp_path / "b.gz"))


def test_subset(tmp_path, data):
    m = computed(data, ["a.bw", "b.bw"], ["grouped.bed"])
    result = m.subset(samples=["b", 1], groups=["down"])
    assert result.sample_labels == ["b", "a"] and result.group_labels == ["down"]
    same_file_as_cli(tmp_path, result, "subset", "-m", written(m, tmp_path / "m.gz"), "--samples", "b", "1",
                     "--groups", "down")


def test_filter(tmp_path, data):
    m = computed(data, ["a.bw", "b.bw"], ["genes.bed"])
    result = m.filter(strand="+", skip_zeros=True)
    assert set(result.strand) == {"+"}
    same_file_as_cli(tmp_path, result, "filter", "-m", written(m, tmp_path / "m.gz"), "--strand", "+", "--skipZeros")


def test_sort(tmp_path, data):
    m = computed(data, ["a.bw", "b.bw"], ["genes.bed"])
    result = m.sort(sort_regions="descend", sort_using="max", sort_using_samples=[2])
    same_file_as_cli(tmp_path, result, "sort", "-m", written(m, tmp_path / "m.gz"), "--sortRegions", "descend",
                     "--sortUsing", "max", "--sortUsingSamples", "2")


def test_relabel(tmp_path, data):
    m = computed(data, ["a.bw", "b.bw"], ["grouped.bed"])
    result = m.relabel(samples_label=["x", "y"], group_labels=["first", "second"])
    assert result.sample_labels == ["x", "y"] and result.group_labels == ["first", "second"]
    same_file_as_cli(tmp_path, result, "relabel", "-m", written(m, tmp_path / "m.gz"), "--samplesLabel", "x", "y",
                     "--groupLabels", "first", "second")


def test_refusals_raise_the_command_lines_report(data):
    m = computed(data, ["a.bw"], ["genes.bed"])
    with pytest.raises(binscope.Error, match="--samples c: no label is c, and it is no number from 1 to 1"):
        m.subset(samples=["c"])
    other = computed(data, ["a.bw"], ["genes.bed"], before_region_start_length=100)
    with pytest.raises(binscope.Error, match='the inputs differ in "upstream"'):
        binscope.rbind([m, other])
    with pytest.raises(TypeError):
        binscope.cbind([m, "x"])

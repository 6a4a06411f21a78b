"""test_matrix.py - the module's matrix against the command line's files:
values bit for bit, the region columns, the files write() gives, reading a
file back, and the array handed over without a copy."""
import gc
import weakref

import numpy as np
import pytest

import binscope
from conftest import file_rows, gz_text, run_cli, same_bits

# Keyword argument -> long option.
LONG_NAMES = {
    "before_region_start_length": "beforeRegionStartLength", "after_region_start_length": "afterRegionStartLength",
    "region_body_length": "regionBodyLength", "bin_size": "binSize", "average_type_bins": "averageTypeBins",
    "reference_point": "referencePoint", "skip_zeros": "skipZeros", "missing_data_as_zero": "missingDataAsZero",
    "min_threshold": "minThreshold", "max_threshold": "maxThreshold", "scale": "scale",
    "nan_after_end": "nanAfterEnd", "metagene": "metagene", "black_list_file_name": "blackListFileName",
    "samples_label": "samplesLabel", "sort_regions": "sortRegions", "sort_using": "sortUsing",
    "unscaled5prime": "unscaled5prime", "unscaled3prime": "unscaled3prime",
    "number_of_processors": "numberOfProcessors",
}


def cli_options(options, data):
    args = []
    for key, value in options.items():
        if value is True:
            args.append(f"--{LONG_NAMES[key]}")
            continue
        for item in value if isinstance(value, list) else [value]:
            item = data / item if key == "black_list_file_name" else item
            args.append(f"--{LONG_NAMES[key]}={item}")
    return args


# (subcommand, score files, region files, keyword arguments)
CASES = [
    ("reference_point", ["a.bw"], ["genes.bed"], {}),
    *[("reference_point", ["a.bw", "b.bw"], ["genes.bed"],
       {"average_type_bins": stat, "bin_size": 7, "before_region_start_length": 300,
        "after_region_start_length": 800, "reference_point": point})
      for stat, point in [("mean", "TES"), ("median", "center"), ("min", "tss"), ("max", "TSS"), ("sum", "TES"),
                          ("std", "center")]],
    ("reference_point", ["a.bw"], ["genes.bed"],
     {"nan_after_end": True, "reference_point": "TES", "missing_data_as_zero": True}),
    ("reference_point", ["a.bw"], ["grouped.bed", "genes.bed"], {"sort_regions": "descend", "sort_using": "max"}),
    ("reference_point", ["b.bw"], ["genes.bed"],
     {"min_threshold": -5000.0, "max_threshold": 8100, "scale": 0.3, "skip_zeros": True}),
    ("reference_point", ["a.bw"], ["genes.bed"], {"black_list_file_name": "blacklist.bed", "sort_regions": "ascend",
                                                  "sort_using": "region_length", "samples_label": ["first"]}),
    ("reference_point", ["a.bw", "b.bw"], ["genes.bed"], {"number_of_processors": 4, "skip_zeros": True}),
    ("scale_regions", ["a.bw", "b.bw"], ["genes.bed"],
     {"region_body_length": 2000, "unscaled5prime": 200, "unscaled3prime": 100, "bin_size": 50}),
    ("scale_regions", ["a.bw"], ["genes.gtf"], {"average_type_bins": "std", "metagene": True}),
    ("scale_regions", ["b.bw"], ["exons.bed"], {"metagene": True, "sort_regions": "no"}),
    ("scale_regions", ["a.bw"], ["exons.bed", "grouped.bed"], {"missing_data_as_zero": True}),
]


def case_id(case):
    return f"{case[0]}-{'+'.join(case[1])}-{'+'.join(case[2])}-{'-'.join(f'{k}={v}' for k, v in case[3].items())}"


def check_against_cli(tmp_path, subcommand, scores, regions, options, data, score_args=None):
    score_args = score_args or [str(data / s) for s in scores]
    cli = tmp_path / "cli"
    status, stderr = run_cli(subcommand.replace("_", "-"), "-S", *score_args, "-R", *[data / r for r in regions],
                             "-o", f"{cli}.gz", f"--outFileNameMatrix={cli}.tab",
                             f"--outFileSortedRegions={cli}.bed", *cli_options(options, data))
    assert status == 0, stderr
    kwargs = {k: (str(data / v) if k == "black_list_file_name" else v) for k, v in options.items()}
    m = getattr(binscope, subcommand)(score_args, [data / r for r in regions], **kwargs)

    fields, values = file_rows(f"{cli}.gz")
    assert same_bits(m.values, values)
    assert list(m.chrom) == [f[0] for f in fields]
    assert list(m.start) == [int(f[1].split(",")[0]) for f in fields]
    assert list(m.end) == [int(f[2].split(",")[-1]) for f in fields]
    assert [",".join(str(s) for s, _ in b) for b in m.blocks] == [f[1] for f in fields]
    assert [",".join(str(e) for _, e in b) for b in m.blocks] == [f[2] for f in fields]
    assert list(m.name) == [f[3] for f in fields]
    assert same_bits(m.score, np.array([np.float32(f[4]) for f in fields], dtype=np.float32))
    assert list(m.strand) == [f[5] for f in fields]
    assert list(m.group) == [line.split("\t")[12] for line in (tmp_path / "cli.bed").read_text().splitlines()[1:]]
    header = m.header
    assert (m.sample_labels, m.sample_boundaries, m.group_labels, m.group_boundaries) == (
        header["sample_labels"], header["sample_boundaries"], header["group_labels"], header["group_boundaries"])

    py = tmp_path / "py"
    m.write(f"{py}.gz", matrix_text=py.with_suffix(".tab"), sorted_regions=f"{py}.bed")
    assert gz_text(f"{py}.gz") == gz_text(f"{cli}.gz")
    for suffix in (".tab", ".bed"):
        assert py.with_suffix(suffix).read_bytes() == cli.with_suffix(suffix).read_bytes()
    return m


@pytest.mark.parametrize("case", CASES, ids=case_id)
def test_equals_the_command_line(tmp_path, data, case):
    m = check_against_cli(tmp_path, *case, data)
    assert m.values.shape[0] > 0


def test_remote_score_files_equal_the_command_line(tmp_path, data, http_url):
    check_against_cli(tmp_path, "reference_point", None, ["genes.bed"], {"bin_size": 20}, data,
                      score_args=[f"{http_url}/a.bw", f"{http_url}/b.bw"])


def test_values_do_not_depend_on_the_thread_count(data):
    one, four = (binscope.scale_regions([data / "a.bw", data / "b.bw"], data / "exons.bed", bin_size=5,
                                        number_of_processors=p) for p in (1, 4))
    assert same_bits(one.values, four.values)
    assert (one.header["proc number"], four.header["proc number"]) == (1, 4)


def test_values_are_the_buffer_not_a_copy_and_outlive_the_matrix(data):
    m = binscope.reference_point([data / "a.bw", data / "b.bw"], data / "genes.bed", samples_label=["x", "y"])
    values = m.values
    assert values is m.values and values.dtype == np.float32 and values.flags["C_CONTIGUOUS"]
    assert not values.flags["OWNDATA"] and values.base is not None
    expected = values.copy()
    b = m.sample("y")
    assert np.shares_memory(b, values) and not b.flags["OWNDATA"]
    assert same_bits(b, expected[:, m.sample_boundaries[1]:])
    assert same_bits(m.sample(-2), m.sample("x"))
    with pytest.raises(KeyError):
        m.sample("z")
    with pytest.raises(IndexError):
        m.sample(2)

    # The array keeps the buffer alive once the Matrix object is gone.
    gone = weakref.ref(m)
    del m
    gc.collect()
    assert gone() is None
    np.asarray([0] * 1000000)  # reuse freed memory if any was freed
    assert same_bits(values, expected)
    assert same_bits(b, expected[:, expected.shape[1] // 2:])


@pytest.mark.skipif(not hasattr(binscope, "read_matrix"), reason="built without the matrix-file reader")
def test_read_matrix_equals_the_computed_matrix(tmp_path, data):
    m = binscope.reference_point([data / "a.bw", data / "b.bw"], [data / "grouped.bed", data / "genes.bed"],
                                 sort_regions="descend")
    m.write(tmp_path / "m.gz")
    read = binscope.read_matrix(tmp_path / "m.gz")
    assert same_bits(read.values, m.values)
    for column in ("chrom", "start", "end", "name", "strand", "group", "blocks"):
        assert list(getattr(read, column)) == list(getattr(m, column)), column
    assert same_bits(read.score, m.score)
    assert read.header == m.header
    assert (read.sample_labels, read.sample_boundaries, read.group_labels, read.group_boundaries) == (
        m.sample_labels, m.sample_boundaries, m.group_labels, m.group_boundaries)
    read.write(tmp_path / "again.gz")
    assert gz_text(tmp_path / "again.gz") == gz_text(tmp_path / "m.gz")

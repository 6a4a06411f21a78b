"""test_errors.py - failed runs raise binscope.Error with the command
line's report; wrong arguments raise TypeError or ValueError."""
import pathlib
import re

import pytest

import binscope
from conftest import run_cli


# (keyword arguments, command-line options, files to write: name -> text)
FAILURES = [
    ({}, [], {}),  # the score file is missing
    ({"bin_size": 0}, ["--binSize=0"], {}),
    ({"before_region_start_length": -5}, ["--beforeRegionStartLength=-5"], {}),
    ({"average_type_bins": "avg"}, ["--averageTypeBins=avg"], {}),
    ({"reference_point": "middle"}, ["--referencePoint=middle"], {}),
    ({"black_list_file_name": "absent.bed"}, ["--blackListFileName=absent.bed"], {}),
    ({}, [], {"regions.bed": "chr1\t100\t200\nchr1\tnot-a-number\t300\n"}),
]


@pytest.mark.parametrize("options,cli_args,files", FAILURES)
def test_failed_runs_raise_the_command_lines_report(tmp_path, data, monkeypatch, options, cli_args, files):
    monkeypatch.chdir(tmp_path)
    for name, text in files.items():
        pathlib.Path(name).write_text(text)
    scores = "missing.bw" if not cli_args and not files else str(data / "a.bw")
    regions = "regions.bed" if files else str(data / "genes.bed")
    status, stderr = run_cli("reference-point", "-S", scores, "-R", regions, "-o", "out.gz", "-q", *cli_args)
    assert status == 1
    with pytest.raises(binscope.Error) as raised:
        binscope.reference_point(scores, regions, **options)
    assert f"Error: {raised.value}\n" == stderr
    assert isinstance(raised.value, Exception)
    parts = stderr.rstrip("\n").split("\nCaused by:\n")
    causes = [re.sub(r"^ +([0-9]+: )?", "", line) for line in parts[1].splitlines()] if len(parts) > 1 else []
    assert raised.value.causes == causes


WRONG_ARGUMENTS = [
    ({"bin_sise": 10}, TypeError, "reference_point() got an unexpected keyword argument 'bin_sise'"),
    ({"region_body_length": 10}, TypeError, "reference_point() got an unexpected keyword argument 'region_body_length'"),
    ({"bin_size": "10"}, TypeError, "reference_point() argument 'bin_size' must be int, not str"),
    ({"bin_size": 10.0}, TypeError, "reference_point() argument 'bin_size' must be int, not float"),
    ({"skip_zeros": 1}, TypeError, "reference_point() argument 'skip_zeros' must be bool, not int"),
    ({"scale": "2"}, TypeError, "reference_point() argument 'scale' must be float, not str"),
    ({"min_threshold": [1]}, TypeError, "reference_point() argument 'min_threshold' must be float, not list"),
    ({"samples_label": [1]}, TypeError, "reference_point() argument 'samples_label' must be str, not int"),
    ({"black_list_file_name": 3}, TypeError,
     "reference_point() argument 'black_list_file_name' must be str or os.PathLike, not int"),
    ({"number_of_processors": -1}, ValueError,
     "reference_point() argument 'number_of_processors' must not be negative: -1"),
]


@pytest.mark.parametrize("options,error,message", WRONG_ARGUMENTS)
def test_wrong_arguments(data, options, error, message):
    with pytest.raises(error) as raised:
        binscope.reference_point(data / "a.bw", data / "genes.bed", **options)
    assert str(raised.value) == message


def test_wrong_paths(data):
    with pytest.raises(TypeError, match="argument 'score_files' must be a path or a list of paths, not int"):
        binscope.scale_regions(3, data / "genes.bed")
    with pytest.raises(TypeError, match="argument 'region_files' must be str or os.PathLike, not NoneType"):
        binscope.scale_regions(data / "a.bw", [data / "genes.bed", None])
    with pytest.raises(ValueError, match="argument 'score_files' must name at least one file"):
        binscope.scale_regions([], data / "genes.bed")
    with pytest.raises(TypeError, match="scale_regions.. got an unexpected keyword argument 'reference_point'"):
        binscope.scale_regions(data / "a.bw", data / "genes.bed", reference_point="TSS")


def test_help_lists_every_option_with_its_default():
    doc = binscope.reference_point.__doc__
    for text in ["before_region_start_length=500", "after_region_start_length=1500", "bin_size=10",
                 "average_type_bins='mean'", "reference_point='TSS'", "skip_zeros=False", "min_threshold=None",
                 "scale=1.0", "sort_regions='keep'", "sort_using='mean'", "number_of_processors=1",
                 "samples_label=None", "progress=False"]:
        assert text in doc
    assert "region_body_length" not in doc
    assert "region_body_length=1000" in binscope.scale_regions.__doc__
    assert "unscaled5prime=0" in binscope.scale_regions.__doc__
    assert binscope.__version__ == run_cli("--version")[1] or binscope.__version__.count(".") == 2


def test_progress_lines_only_when_asked_and_as_the_command_lines(tmp_path, data, capfd):
    binscope.reference_point(data / "a.bw", data / "genes.bed")
    assert capfd.readouterr().err == ""
    m = binscope.reference_point(data / "a.bw", data / "genes.bed", progress=True)
    m.write(tmp_path / "out.gz")
    err = capfd.readouterr().err
    status, stderr = run_cli("reference-point", "-S", data / "a.bw", "-R", data / "genes.bed", "-o", tmp_path / "out.gz")
    assert status == 0 and err == stderr and err.startswith("[binscope] Loading 1 BED file(s)")

"""test_install.py - `pip install . --no-build-isolation` into a fresh
virtual environment (with the system's site packages, for numpy) builds
the module with the project's CMake; the installed module, not the build
tree's, runs the README's example and writes the command line's file."""
import os
import re
import subprocess
import venv

from conftest import SOURCE_DIR, gz_text, run_cli

CHECK = """
import binscope
m = binscope.reference_point({score!r}, {regions!r}, before_region_start_length=1000, bin_size=50)
m.write("py.gz")
print(binscope.__file__)
"""


def readme_example():
    """The README's Python example, with the example files' full paths."""
    readme = (SOURCE_DIR / "README.md").read_text()
    section = readme[readme.index("## Python\n"):]
    code = re.search(r"```python\n(.*?)```", section, re.S).group(1)
    return code.replace('"examples/', f'"{SOURCE_DIR}/examples/')


def test_pip_install_builds_a_module_that_runs_the_readme_example(tmp_path):
    environment = tmp_path / "venv"
    venv.EnvBuilder(system_site_packages=True, with_pip=False).create(environment)
    python = str(environment / "bin" / "python")
    env = {k: v for k, v in os.environ.items() if k != "PYTHONPATH"}
    env.setdefault("CMAKE_BUILD_PARALLEL_LEVEL", "1")
    env["MPLBACKEND"] = "Agg"
    # The environment has no pip of its own: the system's, seen through
    # the system site packages, installs into it.
    subprocess.run([python, "-m", "pip", "install", "--no-build-isolation", "--no-index", "--quiet", SOURCE_DIR],
                   check=True, env=env)

    subprocess.run([python, "-c", readme_example()], check=True, env=env, cwd=tmp_path)
    assert (tmp_path / "profile.png").stat().st_size > 0

    score, regions = str(SOURCE_DIR / "examples" / "example.bw"), str(SOURCE_DIR / "examples" / "genes.bed")
    done = subprocess.run([python, "-c", CHECK.format(score=score, regions=regions)], check=True,
                          capture_output=True, text=True, env=env, cwd=tmp_path)
    assert done.stdout.startswith(str(environment))
    status, stderr = run_cli("reference-point", "-S", score, "-R", regions, "-o", tmp_path / "cli.gz", "-q",
                             "-b", "1000", "--binSize", "50")
    assert status == 0, stderr
    assert gz_text(tmp_path / "py.gz") == gz_text(tmp_path / "cli.gz")

"""setup.py - pip's build step for the Python module: configures the
project's CMake with the module on and the tests off, builds only the
module, into the folder the wheel is made from."""
import os
import re
import subprocess
import sys
from pathlib import Path

from setuptools import Extension, setup
from setuptools.command.build_ext import build_ext

ROOT = Path(__file__).resolve().parent


def project_version():
    """The version in CMakeLists.txt's project() line: one place for both."""
    text = (ROOT / "CMakeLists.txt").read_text()
    return re.search(r"project\(binscope VERSION ([0-9.]+)", text).group(1)


class CMakeExtension(Extension):
    def __init__(self, name):
        super().__init__(name, sources=[])


class CMakeBuild(build_ext):
    def build_extension(self, ext):
        out_dir = Path(self.get_ext_fullpath(ext.name)).resolve().parent
        build_dir = Path(self.build_temp).resolve() / "cmake"
        build_dir.mkdir(parents=True, exist_ok=True)
        subprocess.run(["cmake", "-S", str(ROOT), "-B", str(build_dir), "-DCMAKE_BUILD_TYPE=Release",
                        "-DBINSCOPE_TESTS=OFF", "-DBINSCOPE_PYTHON=ON", f"-DPython3_EXECUTABLE={sys.executable}",
                        f"-DBINSCOPE_PYTHON_OUTPUT_DIR={out_dir}"], check=True)
        jobs = os.environ.get("CMAKE_BUILD_PARALLEL_LEVEL") or str(os.cpu_count() or 1)
        subprocess.run(["cmake", "--build", str(build_dir), "--target", "binscope_python", "-j", jobs], check=True)


setup(
    version=project_version(),
    ext_modules=[CMakeExtension("binscope")],
    cmdclass={"build_ext": CMakeBuild},
    packages=[],
    py_modules=[],
    zip_safe=False,
)

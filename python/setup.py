# SPDX-License-Identifier: MIT
"""Builds the extension roughpi._roughpi with roughpi's own CMake build.

The module compiles nothing by itself: CMake builds the library as it does
for every other use (the vector paths each for their instruction set,
chosen at run time) with position-independent code, and the pybind11
module from module.cpp, into the place setuptools expects. Nothing is
fetched: CMake, a C++20 compiler and pybind11 (Debian: python3-pybind11)
must be there.
"""

import os
import re
import subprocess
import sys
from pathlib import Path

from setuptools import Extension, setup
from setuptools.command.build_ext import build_ext

HERE = Path(__file__).resolve().parent
ROOT = HERE.parent


def version() -> str:
    text = (ROOT / "CMakeLists.txt").read_text()
    return re.search(r"project\(roughpi VERSION ([0-9.]+)", text).group(1)


class CMakeExtension(Extension):
    def __init__(self, name: str) -> None:
        super().__init__(name, sources=[])


class CMakeBuild(build_ext):
    def build_extension(self, ext: Extension) -> None:
        import pybind11

        target_dir = Path(self.get_ext_fullpath(ext.name)).parent.resolve()
        build_dir = Path(self.build_temp).resolve() / "cmake"
        build_dir.mkdir(parents=True, exist_ok=True)
        configure = [
            "cmake", "-S", str(HERE), "-B", str(build_dir),
            "-DCMAKE_BUILD_TYPE=Release",
            f"-DCMAKE_LIBRARY_OUTPUT_DIRECTORY={target_dir}",
            f"-DPython_EXECUTABLE={sys.executable}",
            f"-Dpybind11_DIR={pybind11.get_cmake_dir()}",
        ]
        # ROUGHPI_CUDA=ON in the environment builds the module with CUDA, so
        # that prime_pi(x, gpu=True) counts on a device (nvcc needed).
        if os.environ.get("ROUGHPI_CUDA", "").upper() == "ON":
            configure.append("-DROUGHPI_CUDA=ON")
        jobs = os.environ.get("CMAKE_BUILD_PARALLEL_LEVEL", str(os.cpu_count() or 2))
        subprocess.run(configure, check=True)
        subprocess.run(["cmake", "--build", str(build_dir), "--target", "_roughpi", "--parallel", jobs], check=True)


setup(
    version=version(),
    ext_modules=[CMakeExtension("roughpi._roughpi")],
    cmdclass={"build_ext": CMakeBuild},
    zip_safe=False,
)

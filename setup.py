"""The package elab: python/elab with its compiled core, elab._elab, built by
CMake, so that the compiler's flags are the ones the program is built with.
    pip install --no-build-isolation .
    python3 -m build --wheel --no-isolation
CMAKE_ARGS adds arguments to CMake's configuration (for instance
-DELAB_WERROR=ON)."""

import os
import re
import shlex
import subprocess
import sys

from setuptools import Extension, setup
from setuptools.command.build_ext import build_ext

HERE = os.path.dirname(os.path.abspath(__file__))


def version():
    """The version of CMakeLists.txt's project(), the program's own."""
    with open(os.path.join(HERE, "CMakeLists.txt"), encoding="utf-8") as f:
        return re.search(r"project\(elab VERSION ([0-9.]+)", f.read()).group(1)


class CMakeBuild(build_ext):
    """Builds the target _elab alone with CMake, then places it in the
    package."""

    def build_extension(self, ext):
        build = os.path.abspath(os.path.join(self.build_temp, "cmake"))
        os.makedirs(build, exist_ok=True)
        configure = ["cmake", "-S", HERE, "-B", build, "-DCMAKE_BUILD_TYPE=Release",
                     "-DELAB_PYTHON=ON", "-DBUILD_TESTING=OFF",
                     "-DPython_EXECUTABLE=" + sys.executable]
        try:  # pybind11 as the build's requirement, where CMake would not look
            import pybind11
            if os.path.isdir(pybind11.get_cmake_dir()):
                configure.append("-Dpybind11_DIR=" + pybind11.get_cmake_dir())
        except ImportError:
            pass
        configure += shlex.split(os.environ.get("CMAKE_ARGS", ""))
        subprocess.run(configure, check=True)
        jobs = ["-j", str(self.parallel)] if self.parallel else ["-j2"]
        subprocess.run(["cmake", "--build", build, "--target", "_elab"] + jobs, check=True)
        built = os.path.join(build, "python", "site", "elab")
        module = next(n for n in os.listdir(built) if n.startswith("_elab") and n.endswith(
            (".so", ".pyd")))
        target = self.get_ext_fullpath(ext.name)
        os.makedirs(os.path.dirname(target), exist_ok=True)
        self.copy_file(os.path.join(built, module), target)


setup(version=version(), ext_modules=[Extension("elab._elab", sources=[])],
      cmdclass={"build_ext": CMakeBuild})

"""What the Python package's tests share: the build's programs, running
tarvio-cli, and reading its MAT files without the package."""
import os
import subprocess

import numpy as np
import pytest
import scipy.io

BIN = os.environ.get("TARVIO_BIN", os.path.join(os.path.dirname(__file__), "..", "..", "build", "bin"))
SOURCE = os.environ.get("TARVIO_SOURCE_DIR", os.path.join(os.path.dirname(__file__), "..", ".."))

# Every data rate of the data-rate list.
RATES = (1, 2, 5.5, 11, 6, 9, 12, 18, 22, 24, 33, 36, 48, 54)


def cli(*args, check=True, cwd=None):
    """Runs tarvio-cli; the completed process (stderr and stdout as text)."""
    r = subprocess.run([os.path.join(BIN, "tarvio-cli"), *map(str, args)], capture_output=True, text=True, cwd=cwd)
    if check and r.returncode != 0:
        raise AssertionError(f"tarvio-cli {' '.join(map(str, args))} failed: {r.stderr}")
    return r


def load_mat(path):
    return scipy.io.loadmat(str(path), squeeze_me=False, struct_as_record=False)


def bits(a):
    """The bit patterns of a complex row, for comparisons bit for bit."""
    return np.ascontiguousarray(a, dtype=np.complex128).view(np.uint64)


@pytest.fixture
def tmp(tmp_path):
    return tmp_path

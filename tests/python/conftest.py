"""Shared fixtures: the module, the program and the sample data."""
import os
import subprocess

import numpy as np
import pytest

import orrery  # noqa: F401  (found through PYTHONPATH=<build>/python)

BRAIN = "/usr/share/mricron/templates/ch2.nii.gz"


def program(name):
    path = os.environ.get(name)
    if not path or not os.path.exists(path):
        pytest.skip(f"{name} is not set to a built program")
    return path


@pytest.fixture(scope="session")
def orrery_exe():
    return program("ORRERY_EXE")


@pytest.fixture(scope="session")
def samples(tmp_path_factory):
    """The generated sample volumes (bumps64.raw, series.00.raw, ...)."""
    folder = tmp_path_factory.mktemp("samples")
    subprocess.run([program("ORRERY_GEN_EXE"), "samples", str(folder)], check=True, capture_output=True)
    return folder


def random_field(shape, seed):
    """Values in [0, 1) with no two equal: ties cannot blur the comparisons."""
    rng = np.random.default_rng(seed)
    values = rng.permutation(int(np.prod(shape))).astype(np.float64) / np.prod(shape)
    return values.reshape(shape)

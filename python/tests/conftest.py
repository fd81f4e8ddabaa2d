# SPDX-License-Identifier: MIT
"""Shared by the tests of the module: a seeded random generator whose seed
is printed, and taken from ROUGHPI_SEED to replay a run."""

import os
import random

import pytest


@pytest.fixture
def rng(request):
    seed = int(os.environ.get("ROUGHPI_SEED", random.randrange(1, 100000)))
    print(f"seed = {seed} (replay with ROUGHPI_SEED={seed})")
    request.node.user_properties.append(("seed", seed))
    return random.Random(seed)

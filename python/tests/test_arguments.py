# SPDX-License-Identifier: MIT
"""What the functions take: Python ints and anything with __index__; a
float, a str or another type is a TypeError, a value out of range an
OverflowError or a ValueError that states the range; never a number."""

import pytest
import roughpi


def test_ints_and_index_types_are_taken():
    numpy = pytest.importorskip("numpy")
    assert roughpi.prime_pi(numpy.int64(1000)) == 168
    assert roughpi.prime_pi(numpy.uint32(1000), threads=numpy.int8(2)) == 168
    assert roughpi.nth_prime(numpy.int16(1000)) == 7919
    assert roughpi.li(numpy.int64(1000)) == 177


def test_below_2_there_are_no_primes():
    for x in (1, 0, -1, -(2**63), -(10**30)):
        assert roughpi.prime_pi(x) == 0


@pytest.mark.parametrize("bad", [1000.0, "1000", b"1000", None, [1000], 1.5])
def test_other_types_are_a_type_error(bad):
    with pytest.raises(TypeError, match="must be an integer"):
        roughpi.prime_pi(bad)
    with pytest.raises(TypeError):
        roughpi.nth_prime(bad)
    with pytest.raises(TypeError):
        roughpi.li(bad)


def test_values_out_of_range_state_the_range():
    with pytest.raises(OverflowError, match="9223372036854775807"):
        roughpi.prime_pi(2**63)
    with pytest.raises(OverflowError, match="216289611853439384"):
        roughpi.nth_prime(roughpi.MAX_N + 1)
    with pytest.raises(ValueError, match="n must be from 1 to 216289611853439384"):
        roughpi.nth_prime(0)
    with pytest.raises(ValueError, match="x must be from 2"):
        roughpi.li(1)
    with pytest.raises(OverflowError, match="stays below 2\\*\\*63"):
        roughpi.riemann_r_inverse(10**18)
    for threads in (-1, roughpi._roughpi.MAX_THREADS + 1):
        with pytest.raises(ValueError, match="threads must be from 0 \\(every CPU\\) to 4096"):
            roughpi.prime_pi(10, threads=threads)
    assert roughpi.prime_pi(10**11, threads=0) == 4118054813  # 0, as None, is every CPU
    with pytest.raises(ValueError, match="y must be from 0 to 216289611941014690"):
        roughpi.offset_li_inverse(-1)
    with pytest.raises(TypeError):
        roughpi.prime_pi(10, threads=2.0)
    with pytest.raises(TypeError, match="progress must be a callable"):
        roughpi.prime_pi(10, progress=5)
    with pytest.raises(TypeError):
        roughpi.prime_pi(10, 2)  # threads only by name


def test_the_functions_are_documented_and_typed():
    import pathlib

    assert "pi(x): the number of primes p <= x" in roughpi.prime_pi.__doc__
    assert "The n-th prime" in roughpi.nth_prime.__doc__
    assert (pathlib.Path(roughpi.__file__).parent / "py.typed").exists()


def test_the_offset_logarithmic_integral():
    assert [roughpi.offset_li(x) for x in (2, 3, 10**10)] == [0, 1, 455055613]
    assert roughpi.li(10**10) == 455055614
    assert [roughpi.offset_li_inverse(y) for y in (0, 1, 10**10)] == [2, 2, 252097160041]
    assert roughpi.offset_li_inverse(roughpi._roughpi.OFFSET_LI_INVERSE_MAX) == 9223372036854775764


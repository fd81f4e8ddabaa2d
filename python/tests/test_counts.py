# SPDX-License-Identifier: MIT
"""The counts against other counters: SymPy's primepi below 10^7, and
primecountpy (a binding of primecount, skipped when it is not installed)
up to 10^13 for pi and 10^11 for the n-th prime; on any number of threads."""

import signal

import pytest
import roughpi
import sympy


def test_prime_pi_matches_sympy_below_10_to_7(rng):
    xs = [0, 1, 2, 3, 16, 17, 10**7 - 1] + [rng.randrange(0, 10**7) for _ in range(300)]
    for x in xs:
        assert roughpi.prime_pi(x) == sympy.primepi(x), x


@pytest.fixture
def primecountpy():
    """primecountpy, whose cysignals takes over SIGINT as it is imported:
    Python's own handler is put back, for the tests of Ctrl-C."""
    handler = signal.getsignal(signal.SIGINT)
    module = pytest.importorskip("primecountpy")
    signal.signal(signal.SIGINT, handler)
    return module


def test_counts_match_primecountpy(rng, primecountpy):
    for _ in range(25):
        x = int(10 ** rng.uniform(0, 13))
        assert roughpi.prime_pi(x) == primecountpy.prime_pi(x), x
    for _ in range(15):
        n = int(10 ** rng.uniform(0, 11)) + 1
        assert roughpi.nth_prime(n) == primecountpy.nth_prime(n), n


def test_every_thread_count_gives_the_same_count():
    for threads in (None, 1, 2, 3):
        assert roughpi.prime_pi(10**12, threads=threads) == 37607912018
        assert roughpi.nth_prime(10**9, threads=threads) == 22801763489
    for x, pi in ((100, 25), (10**12, 37607912018)):
        assert roughpi.prime_pi(x, double_check=True) == pi
    assert roughpi.nth_prime(10**9, double_check=True) == 22801763489


def test_estimates_and_constants():
    assert roughpi.li(10**10) == 455055614
    assert roughpi.riemann_r(10**10) == 455050683
    assert roughpi.li_inverse(10**10) == 252097160014
    assert roughpi.riemann_r_inverse(10**10) == 252097715776
    assert roughpi.MAX_X == 2**63 - 1
    assert roughpi.MAX_N == 216289611853439384
    assert roughpi.__version__.count(".") == 2


def test_prime_pi_range_matches_two_counts(rng):
    for _ in range(20):
        a = rng.randrange(0, 10**11)
        b = a + rng.randrange(0, 10**7)
        assert roughpi.prime_pi_range(a, b) == roughpi.prime_pi(b) - roughpi.prime_pi(a - 1), (a, b)
    assert roughpi.prime_pi_range(0, 0) == 0
    assert roughpi.prime_pi_range(2, 2, threads=1) == 1
    with pytest.raises(ValueError, match="a <= b"):
        roughpi.prime_pi_range(5, 4)
    with pytest.raises(OverflowError):
        roughpi.prime_pi_range(0, 2**63)
    with pytest.raises(ValueError):
        roughpi.prime_pi_range(-1, 4)

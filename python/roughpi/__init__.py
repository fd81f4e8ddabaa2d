# SPDX-License-Identifier: MIT
"""roughpi: pi(x), the number of primes up to x, with almost no memory.

Exact for every x from 0 to 2**63 - 1, on every CPU the process may use
(or on a CUDA device, where the module was built with CUDA), in a few
kilobytes whatever x is; the n-th prime from one count and a short
sieve; and the classic estimates li(x), the offset Li(x) and R(x) with their
inverses. A long
count releases the GIL, shows its progress to a callable, and stops on
Ctrl-C (KeyboardInterrupt) within a fraction of a second.

    >>> import roughpi
    >>> roughpi.prime_pi(10**15)
    29844570422669
    >>> roughpi.nth_prime(10**12)
    29996224275833
"""

from __future__ import annotations

import operator
from typing import Callable, Optional, SupportsIndex

from . import _roughpi

__all__ = [
    "prime_pi",
    "nth_prime",
    "prime_pi_range",
    "li",
    "li_inverse",
    "offset_li",
    "offset_li_inverse",
    "riemann_r",
    "riemann_r_inverse",
    "MAX_X",
    "MAX_N",
    "__version__",
]

__version__: str = _roughpi.version
"""The version of the library in the module, e.g. "0.3.0"."""

MAX_X: int = _roughpi.MAX_X
"""The largest x that prime_pi counts: 2**63 - 1."""

MAX_N: int = _roughpi.MAX_N
"""The largest n for nth_prime: pi(2**63 - 1) = 216289611853439384."""

_PARALLEL_FROM: int = _roughpi.PARALLEL_FROM

Progress = Optional[Callable[[float], object]]


def _integer(value: SupportsIndex, name: str) -> int:
    """value as an int: ints and anything with __index__ (NumPy integers
    too); a float, a str or anything else is a TypeError."""
    try:
        return operator.index(value)
    except TypeError:
        raise TypeError(f"{name} must be an integer, not {type(value).__name__}") from None


def _threads(threads: Optional[SupportsIndex]) -> int:
    if threads is None:
        return 0  # every CPU the process may use, as 0 is
    count = _integer(threads, "threads")
    if not 0 <= count <= _roughpi.MAX_THREADS:
        raise ValueError(
            f"threads must be from 0 (every CPU) to {_roughpi.MAX_THREADS}, or None for every CPU, not {count}")
    return count


def _progress(progress: Progress) -> object:
    if progress is not None and not callable(progress):
        raise TypeError(f"progress must be a callable taking the share done, or None, not {type(progress).__name__}")
    return progress


def _within(value: int, least: int, largest: int, name: str, why: str = "") -> int:
    if value > largest:
        raise OverflowError(f"{name} = {value} is above the largest supported value, {largest}{why}")
    if value < least:
        raise ValueError(f"{name} = {value}: {name} must be from {least} to {largest}{why}")
    return value


def prime_pi(
    x: SupportsIndex,
    *,
    threads: Optional[SupportsIndex] = None,
    progress: Progress = None,
    double_check: bool = False,
    gpu: bool = False,
) -> int:
    """pi(x): the number of primes p <= x; 0 for every x < 2.

    x is an int (or anything with __index__) up to MAX_X = 2**63 - 1; larger
    is an OverflowError. The count runs on `threads` threads, None or 0
    meaning every CPU the process may use, with the GIL released. `progress`, if
    given, is called on this thread about ten times a second with the share
    of the work done (0 to 1); if it raises, the count stops and the
    exception is raised here. Ctrl-C stops the count within a fraction of
    a second and raises KeyboardInterrupt. With double_check=True it counts
    twice, independently (other pieces, another counting path where there is
    one), in about twice the time, and raises RuntimeError naming both values
    if they differ. With gpu=True it counts on the first CUDA device instead
    (progress and Ctrl-C as on threads; neither threads nor double_check),
    and raises RuntimeError ("roughpi: no CUDA device: ...") where there is
    none, or when the module was built without CUDA.

        >>> prime_pi(10**12)
        37607912018
    """
    if type(x) is int and threads is None and progress is None and not double_check and not gpu:
        # The common call, a small plain int: straight to the library.
        if x < 2:
            return 0
        if x < _PARALLEL_FROM:
            return _roughpi.prime_count(x)
    value = _integer(x, "x")
    if value > MAX_X:
        _within(value, 0, MAX_X, "x")
    if gpu and (threads is not None or double_check):
        raise ValueError("gpu=True counts on a CUDA device: threads and double_check are for a count on the CPU")
    return _roughpi.prime_pi(max(value, -1), _threads(threads), _progress(progress), bool(double_check), bool(gpu))


def nth_prime(
    n: SupportsIndex, *, threads: Optional[SupportsIndex] = None, progress: Progress = None, double_check: bool = False
) -> int:
    """The n-th prime (nth_prime(1) == 2), for 1 <= n <= MAX_N.

    It counts pi(x) at an estimate x of the n-th prime and sieves the short
    stretch from there, in about a megabyte per thread. threads, progress,
    double_check and Ctrl-C as for prime_pi; n outside the range is a ValueError (below
    1) or an OverflowError (above MAX_N).

        >>> nth_prime(10**12)
        29996224275833
    """
    value = _within(_integer(n, "n"), 1, MAX_N, "n", " (the number of primes up to 2**63 - 1)")
    return _roughpi.nth_prime(value, _threads(threads), _progress(progress), bool(double_check))


def prime_pi_range(
    a: SupportsIndex,
    b: SupportsIndex,
    *,
    threads: Optional[SupportsIndex] = None,
    progress: Progress = None,
    double_check: bool = False,
) -> int:
    """The number of primes p with a <= p <= b, for 0 <= a <= b <= MAX_X.

    It takes pi(b) - pi(a - 1), sieves [a, b] or tests each of its
    integers, whichever is estimated quickest (a short range high up is
    sieved: 10**9 numbers at 10**18 in seconds). threads, progress, double_check and Ctrl-C as for prime_pi;
    a or b above MAX_X is an OverflowError, below 0 or a > b a ValueError.

        >>> prime_pi_range(10**12, 10**12 + 10**8)
        3618282
    """
    low = _within(_integer(a, "a"), 0, MAX_X, "a")
    high = _within(_integer(b, "b"), 0, MAX_X, "b")
    if low > high:
        raise ValueError(f"a = {low} is above b = {high}: the range [a, b] must have a <= b")
    return _roughpi.prime_pi_range(low, high, _threads(threads), _progress(progress), bool(double_check))


def li(x: SupportsIndex) -> int:
    """li(x), the logarithmic integral from 0 to x, rounded down: an
    estimate of pi(x), not a count. For 2 <= x <= MAX_X."""
    return _roughpi.li(_within(_integer(x, "x"), 2, MAX_X, "x"))


def li_inverse(y: SupportsIndex) -> int:
    """The x with li(x) = y, rounded down, for 2 <= y as long as x stays
    below 2**63: an estimate of the y-th prime."""
    limit = _roughpi.LI_INVERSE_MAX
    return _roughpi.li_inverse(_within(_integer(y, "y"), 2, limit, "y", ", so that the result stays below 2**63"))


def offset_li(x: SupportsIndex) -> int:
    """The offset logarithmic integral Li(x) = li(x) - li(2), the integral
    from 2 to x, rounded down: Li(2) = 0, and Li(x) is li(x) less
    1.0451637801... For 2 <= x <= MAX_X."""
    return _roughpi.offset_li(_within(_integer(x, "x"), 2, MAX_X, "x"))


def offset_li_inverse(y: SupportsIndex) -> int:
    """The x with Li(x) = y, rounded down, for 0 <= y (0 gives 2) as long as
    x stays below 2**63."""
    limit = _roughpi.OFFSET_LI_INVERSE_MAX
    return _roughpi.offset_li_inverse(
        _within(_integer(y, "y"), 0, limit, "y", ", so that the result stays below 2**63"))


def riemann_r(x: SupportsIndex) -> int:
    """Riemann's R(x) = sum of mu(n)/n li(x**(1/n)), rounded down: an
    estimate of pi(x), not a count, nearer than li. For 2 <= x <= MAX_X."""
    return _roughpi.riemann_r(_within(_integer(x, "x"), 2, MAX_X, "x"))


def riemann_r_inverse(y: SupportsIndex) -> int:
    """The x with R(x) = y, rounded down, for 2 <= y as long as x stays
    below 2**63: an estimate of the y-th prime, the one nth_prime starts
    from."""
    limit = _roughpi.RIEMANN_R_INVERSE_MAX
    return _roughpi.riemann_r_inverse(
        _within(_integer(y, "y"), 2, limit, "y", ", so that the result stays below 2**63"))

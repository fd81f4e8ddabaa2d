#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Writes tests/core/estimates_values.tsv: exact floors of li(x), R(x), the
offset Li(x) = li(x) - li(2) and their inverses, worked out with mpmath, for
estimates_test.cpp.

    python3 tests/core/make_estimates_values.py > tests/core/estimates_values.tsv

Not run by the build or the tests; its output is kept in the repository.

li(x) is mpmath.li(x) (the principal value, not the offset one), R(x) is
mpmath.riemannr(x), Li(x) is mpmath.li(x, offset=True). An inverse y -> floor(x) with f(x) = y is found with
mpmath.findroot and then confirmed from its definition: the k written has
f(k) < y < f(k + 1), both evaluated anew. Every floor written is also
confirmed to be at least 10^-30 from the value on either side, far beyond
what DPS digits could get wrong; a handful of values are checked two ways
(R by Gram's series, li by its own series and by the integral), at more
digits still.
"""

import random
import sys

import mpmath
from mpmath import mp, mpf

SEED = 20240617
COUNT = int(sys.argv[1]) if len(sys.argv) > 1 else 2000
# Li and its inverse, after the others, from a generator of their own (so
# that adding them left the rows before them as they were).
OFFSET_SEED = SEED + 1
OFFSET_COUNT = COUNT // 8
DPS = 80
MAX_X = 2**63 - 1


def li(x):
    return mpmath.li(x)


def r(x):
    return mpmath.riemannr(x)


def offset_li(x):
    return mpmath.li(x, offset=True)


def exact_floor(value):
    k = int(mpmath.floor(value))
    frac = value - k
    assert frac > mpf(10) ** -30 and 1 - frac > mpf(10) ** -30, value
    return k


def inverse_floor(f, y):
    y = mpf(y)
    guess = y * mpmath.log(y) if y > 3 else mpf(3) + y
    x = mpmath.findroot(lambda t: f(t) - y, guess, tol=mpf(10) ** -(DPS - 15))
    k = int(mpmath.floor(x))
    # floor(x) = k exactly when f(k) <= y < f(k + 1); check it away from ties.
    low, high = f(k) - y, f(k + 1) - y
    assert low < -mpf(10) ** -30 and high > mpf(10) ** -30, (y, k)
    return k


def gram_r(x):
    """R(x) by Gram's series, summed here term by term."""
    log_x = mpmath.log(x)
    total, power, k = mpf(1), mpf(1), 1
    while True:
        power *= log_x / k
        term = power / (k * mpmath.zeta(k + 1))
        total += term
        if k > 2 * log_x and term < mpf(10) ** -(mp.dps + 5):
            return total
        k += 1


def series_li(x):
    """li(x) = gamma + ln ln x + sum (ln x)^k / (k k!)."""
    log_x = mpmath.log(x)
    total, power, k = mpmath.euler + mpmath.log(log_x), mpf(1), 1
    while True:
        power *= log_x / k
        term = power / k
        total += term
        if k > 2 * log_x and term < mpf(10) ** -(mp.dps + 5):
            return total
        k += 1


def log_uniform(rng, low, high):
    """An integer from [low, high] with its logarithm uniform."""
    u = rng.random()
    value = int(mpmath.floor(mpmath.exp(mpmath.log(low) + u * (mpmath.log(high) - mpmath.log(low)))))
    return min(max(value, low), high)


def main():
    mp.dps = DPS
    rng = random.Random(SEED)
    print(f"random seed {SEED}", file=sys.stderr)

    max_li = exact_floor(li(MAX_X))
    max_r = exact_floor(r(MAX_X))

    # Values checked two ways, at more digits.
    with mp.workdps(DPS + 40):
        for x in (2, 10, 1000, 10**9 + 7, 10**18, MAX_X):
            assert abs(r(x) - gram_r(x)) < mpf(10) ** -(DPS - 5), x
            assert abs(li(x) - series_li(x)) < mpf(10) ** -(DPS - 5), x
        for x in (2, 10, 1000, 10**6):
            assert abs(li(x) - (mpmath.quad(lambda t: 1 / mpmath.log(t), [2, x]) + mpmath.li(2))) < mpf(10) ** -60, x

    special_x = sorted(set(list(range(2, 41)) + [10**k for k in range(2, 19)]
                           + [2**k for k in range(2, 63)] + [2**k - 1 for k in range(2, 64)]
                           + [2**k + 1 for k in range(2, 63)] + [MAX_X - 1, MAX_X - 1000]))
    special_y = {
        "li_inverse": [max_li, max_li - 1, 196355844160997714, 216289611853439384, 200000000000000000],
        "riemann_r_inverse": [max_r, max_r - 1, 196355844160997714, 216289611853439384, 200000000000000000],
    }
    for name in special_y:
        special_y[name] += list(range(2, 41)) + [10**k for k in range(2, 18)]

    rows = []
    for name, f in (("li", li), ("riemann_r", r)):
        arguments = special_x + [log_uniform(rng, 2, MAX_X) for _ in range(COUNT)]
        rows += [(name, x, exact_floor(f(x))) for x in arguments]
    for name, f, top in (("li_inverse", li, max_li), ("riemann_r_inverse", r, max_r)):
        arguments = sorted(set(special_y[name])) + [log_uniform(rng, 2, top) for _ in range(COUNT)]
        rows += [(name, y, inverse_floor(f, y)) for y in arguments]

    # Li, whose Li(2) = 0 is exact (and so written apart), and its inverse
    # from y = 0 (whose x is 2).
    max_offset = exact_floor(offset_li(MAX_X))
    with mp.workdps(DPS + 40):
        for x in (3, 1000, 10**18):
            assert abs(offset_li(x) - (li(x) - li(2))) < mpf(10) ** -(DPS - 5), x
        assert abs(offset_li(10**6) - mpmath.quad(lambda t: 1 / mpmath.log(t), [2, 10**6])) < mpf(10) ** -60
    offset_rng = random.Random(OFFSET_SEED)
    arguments = [x for x in special_x if x > 2] + [log_uniform(offset_rng, 3, MAX_X) for _ in range(OFFSET_COUNT)]
    rows += [("offset_li", 2, 0)] + [("offset_li", x, exact_floor(offset_li(x))) for x in arguments]
    special = sorted(set([max_offset, max_offset - 1, 200000000000000000]
                         + list(range(1, 41)) + [10**k for k in range(2, 18)]))
    arguments = special + [log_uniform(offset_rng, 1, max_offset) for _ in range(OFFSET_COUNT)]
    rows += [("offset_li_inverse", 0, 2)] + [("offset_li_inverse", y, inverse_floor(offset_li, y))
                                            for y in arguments]

    print("# Exact floors of roughpi's estimates: function, argument, floor of the true value.")
    print(f"# Written by tests/core/make_estimates_values.py with mpmath {mpmath.__version__} at mp.dps = {DPS},")
    print(f"# random seed {SEED} (Python's random.Random): {COUNT} arguments a function, log-uniform over")
    print(f"# its range, after the boundary values. li = mpmath.li, riemann_r = mpmath.riemannr; an inverse")
    print(f"# by mpmath.findroot, its floor k confirmed by f(k) < y < f(k + 1). Largest y: li {max_li},")
    print(f"# R {max_r}.")
    print(f"# Then offset_li = mpmath.li(x, offset=True), from x = 2, where it is 0 exactly, and its inverse")
    print(f"# from y = 0 (whose x is 2) to {max_offset}: {OFFSET_COUNT} arguments each, log-uniform, random")
    print(f"# seed {OFFSET_SEED}, after the boundary values.")
    for name, argument, value in rows:
        print(f"{name}\t{argument}\t{value}")


if __name__ == "__main__":
    main()

#!/usr/bin/python3
# SPDX-License-Identifier: MIT
"""Finds pieces whose fingerprints add up to the same 64-bit sum in two ways.

The sums of a count once told which pieces they held only by their number and
the sum of their 64-bit fingerprints modulo 2^64. That is no proof of "each
piece exactly once": integers c_i >= -1, summing to 0, with
sum c_i * fingerprint_i = 0 (mod 2^64), leave out the pieces with c_i = -1
and count those with c_i > 0 once more each time, and keep both the number
and the sum. Such c are short vectors of a lattice, and LLL finds them among
a few dozen pieces in a second. The sums now hold a bit per piece, which no
such multiset can fool; PiecesTest keeps a multiset found here refused.

Reads the fingerprints of a split, one 16-digit hex number a line, in the
split's order (for example printed by a few lines of C++ over
roughpi::prime_count_pieces), and prints the indices with their c_i.
Needs fpylll (Debian: python3-fpylll). Not run by the build or the tests.

    find_sum_collision.py [FIRST] [COUNT] < fingerprints.txt
"""
import sys

from fpylll import IntegerMatrix, LLL


def main():
    first = int(sys.argv[1]) if len(sys.argv) > 1 else 0
    count = int(sys.argv[2]) if len(sys.argv) > 2 else 60
    prints = [int(line, 16) for line in sys.stdin.read().split()]
    chosen = list(range(first, first + count))
    weight = 1 << 80  # forces the two constraints to hold exactly
    size = count + 1
    # Rows: e_i | weight * f_i | weight; and one row weight * 2^64 for the modulus.
    basis = IntegerMatrix(size, count + 2)
    for row, i in enumerate(chosen):
        basis[row, row] = 1
        basis[row, count] = weight * prints[i]
        basis[row, count + 1] = weight
    basis[count, count] = weight << 64
    LLL.reduction(basis)
    for row in range(size):
        c = [basis[row, j] for j in range(count)]
        if basis[row, count] != 0 or basis[row, count + 1] != 0 or not any(c):
            continue
        if min(c) < -1:
            c = [-v for v in c]
        if min(c) < -1:
            continue
        assert sum(c) == 0
        assert sum(v * prints[i] for v, i in zip(c, chosen)) % (1 << 64) == 0
        print(" ".join(f"{i}:{v}" for v, i in zip(c, chosen) if v != 0))
        return 0
    print("no multiset with c_i >= -1 among these; try others", file=sys.stderr)
    return 1


if __name__ == "__main__":
    sys.exit(main())

"""python -m roughpi X [X ...]: pi(X) for each X, one line each, as the
roughpi program prints it. X is written as roughpi reads it (1000, 1e15,
2^32+1, ...); a bad one gets a line on standard error and exit status 2,
before anything is counted."""

from __future__ import annotations

import sys

from . import _roughpi, prime_pi


def main(argv: list[str]) -> int:
    if not argv or argv[0] in ("-h", "--help"):
        print("Usage: python -m roughpi X [X ...]\n\nPrints pi(X), the number of primes p <= X, for each X.",
              file=sys.stderr if not argv else sys.stdout)
        return 2 if not argv else 0
    numbers = []
    errors = []
    for text in argv:
        try:
            numbers.append(_roughpi.parse_number(text))
        except ValueError as error:
            errors.append(str(error))
    for error in errors:
        print(f"roughpi: {error}", file=sys.stderr)
    if errors:
        return 2
    try:
        for x in numbers:
            print(prime_pi(x), flush=True)
    except KeyboardInterrupt:
        return 130
    except (BrokenPipeError, OSError) as error:
        print(f"roughpi: cannot write to standard output: {error}", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))

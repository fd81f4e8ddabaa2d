"""python -m roughpi X [X ...]: pi(X) for each X, one line each, as the
roughpi program prints it. X is written as roughpi reads it (1000, 1e15,
2^32+1, ...); a bad one gets a line on standard error and exit status 2,
before anything is counted. Standard output that cannot be written to
(closed, or a full disk) ends it with status 1, as it does the program."""

from __future__ import annotations

import os
import sys

from . import _roughpi, prime_pi


def write_out(text: str) -> bool:
    """text on standard output, flushed; False, with the program's message on
    standard error, when it cannot be written."""
    try:
        if sys.stdout is None:  # standard output was closed when Python started
            raise OSError("no standard output")
        sys.stdout.write(text)
        sys.stdout.flush()
        return True
    except (OSError, ValueError):  # ValueError: sys.stdout was closed
        print("roughpi: cannot write to standard output", file=sys.stderr)
        # What is left in the buffer goes nowhere, so that Python's own
        # flush at exit neither fails nor changes the exit status.
        try:
            devnull = os.open(os.devnull, os.O_WRONLY)
            os.dup2(devnull, sys.stdout.fileno())
            os.close(devnull)
        except (AttributeError, OSError, ValueError):
            pass
        return False


def main(argv: list[str]) -> int:
    usage = "Usage: python -m roughpi X [X ...]\n\nPrints pi(X), the number of primes p <= X, for each X.\n"
    if not argv:
        print(usage, end="", file=sys.stderr)
        return 2
    if argv[0] in ("-h", "--help"):
        return 0 if write_out(usage) else 1
    numbers = []
    errors = []
    for text in argv:
        try:
            # The bytes that were given (as os.fsencode gives them back), so
            # that the message shows them as the program does.
            numbers.append(_roughpi.parse_number(os.fsencode(text)))
        except ValueError as error:
            errors.append(str(error))
    for error in errors:
        print(f"roughpi: {error}", file=sys.stderr)
    if errors:
        return 2
    try:
        for x in numbers:
            if not write_out(f"{prime_pi(x)}\n"):
                return 1
    except KeyboardInterrupt:
        return 130
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))

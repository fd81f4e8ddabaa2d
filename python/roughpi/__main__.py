# SPDX-License-Identifier: MIT
"""python -m roughpi [options] X [X ...]: pi(X) for each X, one line each, as
the roughpi program prints it, with the program's options where they make
sense here (--nth and the estimates, --threads, --time, --double-check,
--gpu, and their other spellings). The command line is read by the program's own
parser, so that X is written as roughpi reads it (1000, 1e15, 2^32+1, ...)
and a bad argument gets the program's message on standard error and exit
status 2, before anything is counted. Standard output that cannot be
written to (closed, or a full disk) ends it with status 1, as it does the
program."""

from __future__ import annotations

import os
import sys
import time

from . import (
    __version__,
    _roughpi,
    li,
    li_inverse,
    nth_prime,
    offset_li,
    offset_li_inverse,
    prime_pi,
    prime_pi_range,
    riemann_r,
    riemann_r_inverse,
)

USAGE = (
    "Usage: python -m roughpi [--time] [--threads N] [--double-check] X [X ...]\n"
    "   or: python -m roughpi [--time] --gpu X [X ...]\n"
    "   or: python -m roughpi [options] --nth N [N ...]\n"
    "   or: python -m roughpi --li | --li-inverse | --Li | --Li-inverse | --riemann-r |\n"
    "       --riemann-r-inverse X [X ...]\n"
    "   or: python -m roughpi [--time] [--threads N] [--double-check] --range A B [A B ...]\n"
)

HELP = USAGE + f"""
Prints pi(X), the number of primes p <= X, for each X, one line each, as the
roughpi program does. X is a whole number from 0 to {_roughpi.MAX_X}, written as roughpi
reads it: 1000, 1e15, 2.5e3, 10^15, 2^59-1, 1e15+3.

Options (anywhere among the numbers):
  --time             follow each count by its wall time:  455052511  (0.002 s)
  -t, --threads N    count on N threads, from 1 to {_roughpi.MAX_THREADS} (also -tN, --threads=N)
                     0 (default): one per CPU it may use
  --double-check     count each X twice, independently, and print it only when
                     both agree: about twice the time
  --gpu              count pi(X) on the first CUDA device instead of the CPU
                     (where the module was built with CUDA; exit status 1
                     when there is no device)
  --nth, -n, --nth-prime
                     print p_N, the N-th prime, for each number N instead
  --li, --li-inverse, --riemann-r, --riemann-r-inverse
                     print the estimate li(X) or R(X), or the x where it is X,
                     rounded down, for each X instead
  --Li, --Li-inverse the same with the offset Li(x) = li(x) - li(2)
  -R, --RiemannR, --RiemannR-inverse
                     the same as --riemann-r and --riemann-r-inverse
  --range            print the number of primes p with A <= p <= B for each
                     pair of numbers A B instead (A <= B)
  -h, --help         print this help and exit
  -v, --version      print the version and exit
  --                 end of options: everything after it is a number

It shows no progress (--no-status is taken, --status is not); --checkpoint,
--output, --test, --gpu=N and --gpu=emulate are the roughpi program's.
"""

ANSWERS = {
    "nth": lambda n, threads, double_check: nth_prime(n, threads=threads, double_check=double_check),
    "li": lambda x, threads, double_check: li(x),
    "li_inverse": lambda y, threads, double_check: li_inverse(y),
    "offset_li": lambda x, threads, double_check: offset_li(x),
    "offset_li_inverse": lambda y, threads, double_check: offset_li_inverse(y),
    "riemann_r": lambda x, threads, double_check: riemann_r(x),
    "riemann_r_inverse": lambda y, threads, double_check: riemann_r_inverse(y),
}


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


def refusals(line: dict) -> list[str]:
    """What the program takes and this does not."""
    refused = []
    for option in ("checkpoint", "checkpoint_key", "output"):
        if line[option]:
            refused.append(f"--{option.replace('_', '-')} is the roughpi program's: python -m roughpi writes no files")
    if line["self_test"]:
        refused.append("--test is the roughpi program's: python -m roughpi has no self-test")
    if line["status"] == "always":
        refused.append("--status is the roughpi program's: python -m roughpi shows no progress")
    if line["gpu_device"] > 0 or line["gpu_emulate"]:
        refused.append("--gpu=N and --gpu=emulate are the roughpi program's: python -m roughpi counts on the first "
                       "device (--gpu)")
    return refused


def main(argv: list[str]) -> int:
    if not argv:
        print(USAGE, end="", file=sys.stderr)
        return 2
    # The bytes that were given (as os.fsencode gives them back), so that the
    # messages show them as the program does.
    line = _roughpi.parse_command_line([os.fsencode(arg) for arg in argv])
    if line["help"]:
        return 0 if write_out(HELP) else 1
    if line["version"]:
        return 0 if write_out(f"roughpi {__version__}\n") else 1
    errors = line["errors"] + refusals(line)
    if errors:
        for error in errors:
            print(f"roughpi: {error}", file=sys.stderr)
        print("Try 'python -m roughpi --help' for more information.", file=sys.stderr)
        return 2
    kind, threads, double_check = line["kind"], line["threads"], line["double_check"]
    try:
        numbers = line["numbers"]
        # --range takes its numbers in pairs (the parser has checked that they are).
        step = 2 if kind == "range" else 1
        for i in range(0, len(numbers), step):
            x = numbers[i]
            start = time.perf_counter()
            if kind == "pi" and line["gpu"]:
                value = prime_pi(x, gpu=True)
            elif kind == "pi":
                value = prime_pi(x, threads=threads, double_check=double_check)
            elif kind == "range":
                value = prime_pi_range(x, numbers[i + 1], threads=threads, double_check=double_check)
            else:
                value = ANSWERS[kind](x, threads, double_check)
            elapsed = f"  ({time.perf_counter() - start:.3f} s)" if line["time"] else ""
            if not write_out(f"{value}{elapsed}\n"):
                return 1
    except KeyboardInterrupt:
        return 130
    except RuntimeError as error:  # an internal error, the two counts of a double check differ, or no CUDA device
        text = str(error)  # the library's messages start with "roughpi: " already
        print(text if text.startswith("roughpi: ") else f"roughpi: {text}", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))

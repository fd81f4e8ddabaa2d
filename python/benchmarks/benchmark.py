# SPDX-License-Identifier: MIT
"""The Python module against primecountpy (a binding of primecount, a prime
counter built on other methods), in the same run:

- the cost of a call for a small x, prime_pi(1000), with timeit;
- prime_pi(10**k) for k = 10 ... 16 on one thread each, and on every
  thread (primecountpy's default), the two modules alternating;
- the peak resident memory of an interpreter that imports one module and
  counts 10**15 or 10**16.

    python python/benchmarks/benchmark.py [largest k]      (default 16)

primecountpy has no thread count of its own: for one thread, this sets
primecount's through its C library (primecount_set_num_threads).
"""

from __future__ import annotations

import ctypes
import ctypes.util
import subprocess
import sys
import time
import timeit

import roughpi

try:
    import primecountpy
except ImportError:
    sys.exit("benchmark.py: primecountpy is not installed (Debian: python3-primecountpy python3-cysignals-bare)")


def primecount_threads(threads: int) -> None:
    library = ctypes.CDLL(ctypes.util.find_library("primecount") or "libprimecount.so.7")
    library.primecount_set_num_threads(ctypes.c_int(threads))


def seconds(call) -> float:
    start = time.perf_counter()
    call()
    return time.perf_counter() - start


def peak_rss_mb(module: str, x: int) -> float:
    """The peak resident memory of a fresh interpreter that counts x.

    From VmHWM in /proc/self/status, which starts afresh at exec; Linux keeps
    getrusage's ru_maxrss across fork and exec, so a child would report this
    benchmark's own peak when that is the larger.
    """
    code = (f"import {module}\n{module}.prime_pi({x})\n"
            "print(next(line.split()[1] for line in open('/proc/self/status') if line.startswith('VmHWM:')))")
    kilobytes = int(subprocess.run([sys.executable, "-c", code], capture_output=True, text=True, check=True).stdout)
    return kilobytes / 1024


def main() -> None:
    largest = int(sys.argv[1]) if len(sys.argv) > 1 else 16
    print(f"roughpi {roughpi.__version__}, Python {sys.version.split()[0]}")
    for name, call in (("roughpi.prime_pi(1000)", lambda: roughpi.prime_pi(1000)),
                       ("primecountpy.prime_pi(1000)", lambda: primecountpy.prime_pi(1000))):
        runs = timeit.Timer(call).repeat(repeat=5, number=100000)
        print(f"{name:30} {min(runs) / 100000 * 1e6:8.3f} us a call")

    all_cpus = roughpi._roughpi.usable_cpus()
    print(f"\n{'x':>6} {'threads':>8} {'roughpi':>12} {'primecountpy':>14} {'ratio':>7}")
    for threads in (1, all_cpus):
        primecount_threads(threads)
        for k in range(10, largest + 1):
            x = 10**k
            ours = seconds(lambda: roughpi.prime_pi(x, threads=threads))
            theirs = seconds(lambda: primecountpy.prime_pi(x))
            assert roughpi.prime_pi(x) == primecountpy.prime_pi(x)
            print(f"{'10^%d' % k:>6} {threads:>8} {ours:10.3f} s {theirs:12.3f} s {ours / theirs:7.2f}", flush=True)

    print("\npeak resident memory of the whole interpreter:")
    for k in (15, 16):
        if k <= largest:
            print(f"  10^{k}: roughpi {peak_rss_mb('roughpi', 10**k):.1f} MB, "
                  f"primecountpy {peak_rss_mb('primecountpy', 10**k):.1f} MB", flush=True)


if __name__ == "__main__":
    main()

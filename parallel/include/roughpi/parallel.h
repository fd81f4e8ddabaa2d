/* SPDX-License-Identifier: MIT */
/* The C interface of the library roughpi_parallel: pi(x) on worker threads.
 * Part of <roughpi.h>; errors are reported as in <roughpi/core.h>, through
 * roughpi_last_error().
 */
#ifndef ROUGHPI_PARALLEL_H
#define ROUGHPI_PARALLEL_H

#include <roughpi/core.h>
#include <roughpi/parallel_export.h>

#ifdef __cplusplus
extern "C" {
#endif

/* pi(x) on `threads` worker threads, 0 meaning one per CPU the process may
 * use (its affinity mask); the same value as roughpi_pi(x) for every thread
 * count. -1 when threads is negative or above 4096, or when the threads
 * cannot be started. */
ROUGHPI_PARALLEL_API int64_t roughpi_pi_threads(int64_t x, int threads) ROUGHPI_C_NOEXCEPT;

/* p_n, the n-th prime (p_1 = 2), for 1 <= n <= 216289611853439384, the
 * number of primes up to 2^63 - 1 (see <roughpi/nth_prime.hpp>): on the
 * calling thread, or on `threads` threads as roughpi_pi_threads counts. -1
 * and the reason in roughpi_last_error() for n outside that range or a
 * thread count out of range. */
ROUGHPI_PARALLEL_API int64_t roughpi_nth_prime(int64_t n) ROUGHPI_C_NOEXCEPT;
ROUGHPI_PARALLEL_API int64_t roughpi_nth_prime_threads(int64_t n, int threads) ROUGHPI_C_NOEXCEPT;

/* The number of primes p with a <= p <= b, for 0 <= a <= b <= 2^63 - 1, on
 * `threads` threads as roughpi_pi_threads counts: pi(b) - pi(a - 1), a sieve
 * of [a, b] or a test of each of its integers, whichever is estimated quickest
 * (see <roughpi/range.hpp>). -1 and
 * the reason in roughpi_last_error() for a or b out of range, a > b, or a
 * thread count out of range. */
ROUGHPI_PARALLEL_API int64_t roughpi_pi_range(int64_t a, int64_t b, int threads) ROUGHPI_C_NOEXCEPT;

/* The value a count returns when it was cancelled. */
#define ROUGHPI_CANCELLED (-2)

/* roughpi_pi_threads, roughpi_nth_prime_threads and roughpi_pi_range that can
 * be stopped:
 * when *cancel becomes non-zero, the count stops within milliseconds (a thread of
 * the call reads *cancel every 10 ms; the workers drop the pieces in hand) and returns
 * ROUGHPI_CANCELLED, with "roughpi: the count was cancelled" in
 * roughpi_last_error(). cancel may be null: then nothing stops it.
 * Set the flag from a signal handler, or from another thread with an atomic
 * store (C11 atomic_store_explicit through a pointer to the int,
 * __atomic_store_n, std::atomic_ref<int>): the library reads it atomically. */
ROUGHPI_PARALLEL_API int64_t roughpi_pi_cancellable(int64_t x, int threads,
                                                    const volatile int* cancel) ROUGHPI_C_NOEXCEPT;
ROUGHPI_PARALLEL_API int64_t roughpi_nth_prime_cancellable(int64_t n, int threads,
                                                           const volatile int* cancel) ROUGHPI_C_NOEXCEPT;
ROUGHPI_PARALLEL_API int64_t roughpi_pi_range_cancellable(int64_t a, int64_t b, int threads,
                                                          const volatile int* cancel) ROUGHPI_C_NOEXCEPT;

#ifdef __cplusplus
}
#endif

#endif /* ROUGHPI_PARALLEL_H */

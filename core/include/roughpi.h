/* roughpi: pi(x), the number of primes up to x, for C and for bindings to
 * other languages.
 *
 *   #include <roughpi.h>
 *
 *   int64_t n = roughpi_pi(1000000000000);          37607912018
 *   if (n < 0)
 *       fprintf(stderr, "%s\n", roughpi_last_error());
 *
 * Plain C types only, and no call lets an exception or a signal out: a call
 * that cannot answer exactly returns -1 and leaves the reason, as text, for
 * roughpi_last_error() on the calling thread. roughpi_pi_threads is in the
 * library roughpi_parallel (it starts threads); everything else is in the
 * library roughpi, which has none. Calls from any number of threads at once
 * are safe.
 *
 * The C++ interface is <roughpi/roughpi.hpp>.
 */
#ifndef ROUGHPI_H
#define ROUGHPI_H

#include <roughpi/export.hpp>

#include <stdint.h>

#ifdef __cplusplus
#  define ROUGHPI_C_NOEXCEPT noexcept
extern "C" {
#else
#  define ROUGHPI_C_NOEXCEPT
#endif

/* pi(x), the number of primes p <= x, counted on the calling thread: 0 for
 * every x < 2. Every int64_t x is supported, so -1 means a fault of the
 * library itself (a count outside the proven bounds on pi(x), which every
 * count is checked against), which it reports rather than answer wrongly. */
ROUGHPI_API int64_t roughpi_pi(int64_t x) ROUGHPI_C_NOEXCEPT;

/* pi(x) on `threads` worker threads, 0 meaning one per CPU the process may
 * use (its affinity mask); the same value as roughpi_pi(x) for every thread
 * count. -1 when threads is negative or above 4096, or when the threads
 * cannot be started. */
ROUGHPI_PARALLEL_API int64_t roughpi_pi_threads(int64_t x, int threads) ROUGHPI_C_NOEXCEPT;

/* The largest x that roughpi_pi and roughpi_pi_threads count: 2^63 - 1,
 * INT64_MAX. */
ROUGHPI_API int64_t roughpi_max_x(void) ROUGHPI_C_NOEXCEPT;

/* The version of the library linked in, e.g. "0.3.0" (static storage). */
ROUGHPI_API const char* roughpi_version(void) ROUGHPI_C_NOEXCEPT;

/* Why the last roughpi_pi or roughpi_pi_threads call on this thread returned
 * -1, e.g. "roughpi: 5000 threads: the count must be from 1 to 4096, or 0 for
 * one per logical CPU"; "" when it succeeded or before any such call.
 * The text belongs to the calling thread and stays valid until its next
 * counting call. */
ROUGHPI_API const char* roughpi_last_error(void) ROUGHPI_C_NOEXCEPT;

#ifdef __cplusplus
}
#endif

#endif /* ROUGHPI_H */

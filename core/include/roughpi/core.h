/* SPDX-License-Identifier: MIT */
/* The C interface of the library roughpi: pi(x) on the calling thread. Part
 * of <roughpi.h>, which most programs include instead; the library has no
 * threads (roughpi_pi_threads is in roughpi_parallel, <roughpi/parallel.h>).
 *
 * Plain C types only, and no call lets an exception or a signal out: a call
 * that cannot answer exactly returns -1 and leaves the reason, as text, for
 * roughpi_last_error() on the calling thread. Calls from any number of
 * threads at once are safe.
 */
#ifndef ROUGHPI_CORE_H
#define ROUGHPI_CORE_H

#include <roughpi/export.h>

#include <stdint.h>

#ifdef __cplusplus
/* (throw() for a consumer in C++98, which has no noexcept.) */
#  if __cplusplus >= 201103L || (defined(_MSC_VER) && _MSC_VER >= 1900)
#    define ROUGHPI_C_NOEXCEPT noexcept
#  else
#    define ROUGHPI_C_NOEXCEPT throw()
#  endif
extern "C" {
#else
#  define ROUGHPI_C_NOEXCEPT
#endif

/* pi(x), the number of primes p <= x, counted on the calling thread: 0 for
 * every x < 2. Every int64_t x is supported, so -1 means a fault of the
 * library itself (a count outside the proven bounds on pi(x), which every
 * count is checked against), which it reports rather than answer wrongly. */
ROUGHPI_API int64_t roughpi_pi(int64_t x) ROUGHPI_C_NOEXCEPT;

/* The estimates of pi(x) (see <roughpi/estimates.hpp>), rounded down: li(x),
 * the offset Li(x) = li(x) - li(2) and Riemann's R(x) for 2 <= x <= 2^63 - 1,
 * and their inverses for arguments whose result stays below 2^63 (from 0
 * for Li's, from 2 for the others). -1 outside. */
ROUGHPI_API int64_t roughpi_li(int64_t x) ROUGHPI_C_NOEXCEPT;
ROUGHPI_API int64_t roughpi_li_inverse(int64_t y) ROUGHPI_C_NOEXCEPT;
ROUGHPI_API int64_t roughpi_offset_li(int64_t x) ROUGHPI_C_NOEXCEPT;
ROUGHPI_API int64_t roughpi_offset_li_inverse(int64_t y) ROUGHPI_C_NOEXCEPT;
ROUGHPI_API int64_t roughpi_riemann_r(int64_t x) ROUGHPI_C_NOEXCEPT;
ROUGHPI_API int64_t roughpi_riemann_r_inverse(int64_t y) ROUGHPI_C_NOEXCEPT;

/* The largest x that roughpi_pi and roughpi_pi_threads count: 2^63 - 1,
 * INT64_MAX. */
ROUGHPI_API int64_t roughpi_max_x(void) ROUGHPI_C_NOEXCEPT;

/* The version of the library linked in, e.g. "0.3.0" (static storage). */
ROUGHPI_API const char* roughpi_version(void) ROUGHPI_C_NOEXCEPT;

/* Why the last counting call of the C interface on this thread returned -1,
 * e.g. "roughpi: 5000 threads: the count must be from 1 to 4096, or 0 for
 * one per logical CPU"; "" when it succeeded or before any such call.
 * The text belongs to the calling thread and stays valid until its next
 * counting call. */
ROUGHPI_API const char* roughpi_last_error(void) ROUGHPI_C_NOEXCEPT;

#ifdef __cplusplus
}
#endif

#endif /* ROUGHPI_CORE_H */

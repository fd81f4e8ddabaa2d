/* The C interface of the library roughpi_parallel: pi(x) on worker threads.
 * Part of <roughpi.h>; errors are reported as in <roughpi/core.h>, through
 * roughpi_last_error().
 */
#ifndef ROUGHPI_PARALLEL_H
#define ROUGHPI_PARALLEL_H

#include <roughpi/core.h>
#include <roughpi/parallel_export.hpp>

#ifdef __cplusplus
extern "C" {
#endif

/* pi(x) on `threads` worker threads, 0 meaning one per CPU the process may
 * use (its affinity mask); the same value as roughpi_pi(x) for every thread
 * count. -1 when threads is negative or above 4096, or when the threads
 * cannot be started. */
ROUGHPI_PARALLEL_API int64_t roughpi_pi_threads(int64_t x, int threads) ROUGHPI_C_NOEXCEPT;

#ifdef __cplusplus
}
#endif

#endif /* ROUGHPI_PARALLEL_H */

/* SPDX-License-Identifier: MIT */
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
 * roughpi_last_error() on the calling thread. Calls from any number of
 * threads at once are safe.
 *
 * This header gathers the C interfaces of both libraries: <roughpi/core.h>
 * (the library roughpi: roughpi_pi, roughpi_max_x, roughpi_version,
 * roughpi_last_error) and <roughpi/parallel.h> (the library roughpi_parallel,
 * which starts threads: roughpi_pi_threads). A program that links roughpi
 * alone includes <roughpi/core.h>.
 *
 * The C++ interface is <roughpi/roughpi.hpp>.
 */
#ifndef ROUGHPI_H
#define ROUGHPI_H

#include <roughpi/core.h>
#include <roughpi/parallel.h>

#endif /* ROUGHPI_H */

/* SPDX-License-Identifier: MIT */
/* ROUGHPI_PARALLEL_API marks the functions that make up the interface of the
 * library roughpi_parallel, which is built with hidden symbols like roughpi.
 *
 * Plain C (C89 and later) as well as C++: the C header <roughpi/parallel.h>
 * includes it, and so, through <roughpi/parallel_export.hpp>, do the C++
 * headers.
 */
#ifndef ROUGHPI_PARALLEL_EXPORT_H
#define ROUGHPI_PARALLEL_EXPORT_H

#if defined(_WIN32) || defined(__CYGWIN__)
#  if defined(ROUGHPI_PARALLEL_BUILDING_SHARED)
#    define ROUGHPI_PARALLEL_API __declspec(dllexport)
#  elif defined(ROUGHPI_SHARED)
#    define ROUGHPI_PARALLEL_API __declspec(dllimport)
#  else
#    define ROUGHPI_PARALLEL_API
#  endif
#elif defined(__GNUC__) || defined(__clang__)
#  define ROUGHPI_PARALLEL_API __attribute__((visibility("default")))
#else
#  define ROUGHPI_PARALLEL_API
#endif

#endif /* ROUGHPI_PARALLEL_EXPORT_H */

/* SPDX-License-Identifier: MIT */
/* ROUGHPI_API marks the functions and classes that make up the interface of
 * the library roughpi. It is built with hidden symbols, so that a shared
 * build exports these and nothing of its internals.
 *
 * Plain C (C89 and later) as well as C++: the C header <roughpi/core.h>
 * includes it, and so, through <roughpi/export.hpp>, do the C++ headers.
 */
#ifndef ROUGHPI_EXPORT_H
#define ROUGHPI_EXPORT_H

#if defined(_WIN32) || defined(__CYGWIN__)
#  if defined(ROUGHPI_BUILDING_SHARED)
#    define ROUGHPI_API __declspec(dllexport)
#  elif defined(ROUGHPI_SHARED)
#    define ROUGHPI_API __declspec(dllimport)
#  else
#    define ROUGHPI_API
#  endif
#elif defined(__GNUC__) || defined(__clang__)
#  define ROUGHPI_API __attribute__((visibility("default")))
#else
#  define ROUGHPI_API
#endif

#endif /* ROUGHPI_EXPORT_H */

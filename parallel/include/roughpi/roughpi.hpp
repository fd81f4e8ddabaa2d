// SPDX-License-Identifier: MIT
// roughpi: pi(x), the number of primes up to x, with almost no memory.
//
// The whole public interface of the library:
//
//   roughpi::prime_count(x)              pi(x) on one thread          prime_count.hpp
//   roughpi::prime_count_parallel(x, t)  pi(x) on t threads           parallel.hpp (library roughpi::parallel)
//   roughpi::nth_prime(n)                the n-th prime               nth_prime.hpp (library roughpi::parallel)
//   roughpi::li(x), riemann_r(x), ...    estimates of pi(x)           estimates.hpp
//   roughpi::prime_count_pieces(x, ...)  the count in pieces          pieces.hpp
//   roughpi::counting_path               machine-code paths           counting_path.hpp
//   roughpi::input_error, cancelled      what a refused or stopped call throws   error.hpp
//   roughpi::version()                   the library's version        version.hpp
//
// For C and other languages, see <roughpi.h>.
#pragma once

#include <roughpi/counting_path.hpp>
#include <roughpi/error.hpp>
#include <roughpi/estimates.hpp>
#include <roughpi/nth_prime.hpp>
#include <roughpi/parallel.hpp>
#include <roughpi/pieces.hpp>
#include <roughpi/prime_count.hpp>
#include <roughpi/range.hpp>
#include <roughpi/version.hpp>

// SPDX-License-Identifier: MIT
// Proven bounds on pi(x): the net that every finished count passes through
// before the library returns it.
//
//   x / ln x  <  pi(x)                           for x >= 17    Rosser and Schoenfeld (1962), Corollary 1
//   x / ln x * (1 + 1/ln x)  <=  pi(x)           for x >= 599   Dusart (1999)
//   pi(x)  <=  x / ln x * (1 + 1.2762/ln x)      for x > 1      Dusart (1999)
//
// (J. B. Rosser, L. Schoenfeld, "Approximate formulas for some functions of
// prime numbers", Illinois J. Math. 6 (1962); P. Dusart, "The kth prime is
// greater than k(ln k + ln ln k - 1) for k >= 2", Math. Comp. 68 (1999).)
// Below 17 pi(x) is the table itself.
//
// The window is about 28 % wide at 10^3 and still about 0.6 % at 10^18: a
// count that came out wrong by a sign, a lost term or a garbage word falls
// outside it, one that is off by a little does not. So this is a net for
// gross corruption (of memory, of a stored or transmitted sum), not a proof
// of the result.
#pragma once

#include "wide_int.hpp"

#include <cstdint>

namespace roughpi::detail {

struct pi_bounds {
    std::int64_t lower;  // lower <= pi(x) <= upper
    std::int64_t upper;
};

// The bounds above, widened by far more than the rounding of the long double
// arithmetic that evaluates them (a relative 10^-9, and one more unit), so
// that they hold on every machine.
pi_bounds proven_pi_bounds(std::int64_t x);

// pi(x) as counted, once it is within the bounds; throws internal_error when
// it is not.
std::int64_t checked_pi(std::int64_t x, const wide_int& counted);

}  // namespace roughpi::detail

// SPDX-License-Identifier: MIT
// roughpi --test: a quick check of the build on this processor. Every
// counting path it has counts stored values of pi(x) (powers of ten and a
// few others) and random x, on which the paths must agree with each other;
// then the count on threads, the n-th prime, the estimates, the count of a
// range both ways, and a count put together from its pieces.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace roughpi::tools {

enum class self_test_size {
    full,   // what roughpi --test runs: up to 10^14, seconds on two cores with AVX-512
    quick,  // up to 10^9 or so, for the tests: a second or two
};

// Runs the checks on `threads` threads (0: every CPU) with random x drawn
// from `seed`, and hands each line to `print` as it is done:
//   "ok   avx512 pi(10^12) = 37607912018"
//   "FAIL avx2 pi(10^12) = 37607912017, not 37607912018"
// Returns the lines of the checks that failed (empty when all pass). A check
// that throws fails with the exception's text; none stops the rest.
std::vector<std::string> run_self_test(self_test_size size, std::uint64_t seed, int threads,
                                       const std::function<void(const std::string&)>& print);

}  // namespace roughpi::tools

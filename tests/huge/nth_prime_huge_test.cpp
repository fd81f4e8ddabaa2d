// SPDX-License-Identifier: MIT
// The n-th prime at the top of the range (the better part of an hour each
// on two cores): n = 2 10^17, against primecount's nth_prime (computed with
// libprimecount-dev 7.6: 8512677386048191063), and the largest n there is,
// whose prime is the last below 2^63.
#include <roughpi/nth_prime.hpp>
#include <roughpi/prime_count.hpp>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <cstdio>

namespace {

void check_nth(std::int64_t n, std::int64_t p)
{
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(roughpi::nth_prime_parallel(n), p) << "n = " << n;
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
    std::printf("the %lld-th prime on every core: %.1f s\n", static_cast<long long>(n), elapsed.count());
}

TEST(NthPrimeTest, TwoTimesTenToTheSeventeen) { check_nth(200'000'000'000'000'000, 8'512'677'386'048'191'063); }

TEST(NthPrimeTest, TheLastPrimeBelowTwoToTheSixtyThree)
{
    check_nth(roughpi::MAX_PRIME_INDEX, 9'223'372'036'854'775'783);
}

}  // namespace

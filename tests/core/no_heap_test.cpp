// SPDX-License-Identifier: MIT
// The counting core must never allocate: every global allocation in this test
// program is counted, and the counts must not move while the core runs.
#include "support/factor_counts_64.hpp"
#include "wheel.hpp"

#include <roughpi/counting_path.hpp>
#include <roughpi/error.hpp>
#include <roughpi/estimates.hpp>
#include <roughpi/pieces.hpp>
#include <roughpi/prime_count.hpp>

#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <cstdlib>
#include <new>
#include <stop_token>

namespace {
std::atomic<long> allocations{0};
}

// These operators pair malloc with free, which gcc cannot see through once
// they are inlined into their callers.
#if defined(__GNUC__) && !defined(__clang__)
#  pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif

void* operator new(std::size_t size)
{
    ++allocations;
    if (void* p = std::malloc(size ? size : 1))
        return p;
    throw std::bad_alloc();
}
void* operator new[](std::size_t size) { return ::operator new(size); }
// The nothrow forms too (std::stable_sort's buffer, for one, comes from
// them): AddressSanitizer supplies its own, which must not meet the free
// of the operator delete here.
void* operator new(std::size_t size, const std::nothrow_t&) noexcept
{
    ++allocations;
    return std::malloc(size ? size : 1);
}
void* operator new[](std::size_t size, const std::nothrow_t& tag) noexcept { return ::operator new(size, tag); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }

namespace {

TEST(NoHeapTest, CountingAllocatesNothing)
{
    void* probe = ::operator new(8);  // the counter itself works
    ::operator delete(probe);
    ASSERT_GT(allocations.load(), 0);

    const std::stop_source stop;  // its shared state is the caller's allocation
    const long before = allocations.load();
    roughpi::build_wheel_tables();
    std::int64_t sum = 0;
    for (const auto path : roughpi::counting_paths())
        if (roughpi::counting_path_available(path))
            for (std::int64_t x = 1; x <= 10'000'000'000; x *= 10)
                sum += roughpi::prime_count(x, path);
    sum += roughpi::count_factor_tuples(1'000'000'000, 17, 120, 1, 5);
    // The estimates, and the one the n-th prime starts from.
    sum += roughpi::li(1'000'000'000) + roughpi::riemann_r(1'000'000'000) + roughpi::li_inverse(1'000'000) +
        roughpi::riemann_r_inverse(1'000'000) + roughpi::nth_prime_estimate(1'000'000'000);
    sum += roughpi::count_rough_in_range(17, 1'000'000);
    // The split and the pieces, as they may be stopped: the caller holds the list.
    std::array<roughpi::prime_count_piece, 64> pieces{};
    const std::int64_t x = 1'000'000'000;
    const std::size_t count = roughpi::prime_count_pieces(x, pieces, stop.get_token());
    ASSERT_LE(count, pieces.size());
    roughpi::prime_count_sums sums;
    for (std::size_t i = 0; i < count; ++i)
        roughpi::prime_count_add_piece(pieces[i], sums, stop.get_token());
    sum += roughpi::prime_count_from_sums(sums, stop.get_token());
    EXPECT_EQ(allocations.load(), before);
    EXPECT_GT(sum, 0);
}

}  // namespace

// SPDX-License-Identifier: MIT
#include "wheel.hpp"

#include "piece_access.hpp"
#include "small_primes.hpp"

#include <roughpi/prime_count.hpp>

namespace roughpi {

alignas(64) std::uint16_t wheel_prefix_count[WHEEL_MODULUS + 1];
alignas(64) std::uint8_t wheel_gaps[WHEEL_RESIDUES];

std::atomic<bool> wheel_tables_ready{false};

namespace {

// Set by the one thread that fills the tables.
std::atomic<bool> build_claimed{false};

void fill_wheel_tables()
{
    wheel_prefix_count[0] = 0;
    wheel_prefix_count[1] = 0;
    wheel_prefix_count[2] = 1;

    // found: coprime integers below the candidate (so far only 1).
    // g + 1: distance from the previous coprime integer to the candidate;
    //        starting at g = 1 makes 1 the previous coprime, so the first gap is 16.
    // i: next position of the gap cycle to write.
    std::int32_t found = 1;
    std::int32_t g = 1;
    std::int32_t i = 0;

    // Only odd candidates: that takes care of the factor 2.
    for (std::int32_t j = 3; j <= WHEEL_MODULUS; j += 2) {
        const bool coprime = j % 3 != 0 && j % 5 != 0 && j % 7 != 0 && j % 11 != 0 && j % 13 != 0;
        wheel_prefix_count[j] = static_cast<std::uint16_t>(found);
        if (coprime) {
            wheel_gaps[i] = static_cast<std::uint8_t>(g + 1);
            ++i;
            ++found;
            g = 1;
        } else {
            g += 2;
        }
        wheel_prefix_count[j + 1] = static_cast<std::uint16_t>(found);
    }

    // The loop leaves i = 5759: the last residue, 30029, steps to 30031 = 30030 + 1.
    wheel_gaps[WHEEL_RESIDUES - 1] = 2;
}

}  // namespace

void build_wheel_tables()
{
    if (wheel_tables_ready.load(std::memory_order_acquire))
        return;
    if (!build_claimed.exchange(true, std::memory_order_acq_rel)) {
        fill_wheel_tables();
        fill_small_prime_table();
        wheel_tables_ready.store(true, std::memory_order_release);
        return;
    }
    // Another thread is filling them, which takes a fraction of a millisecond.
    while (!wheel_tables_ready.load(std::memory_order_acquire)) { }
}

}  // namespace roughpi

void roughpi_internal_wheel_tables(const std::uint16_t** prefix_count, const std::uint8_t** gaps)
{
    roughpi::ensure_wheel_tables();
    *prefix_count = roughpi::wheel_prefix_count;
    *gaps = roughpi::wheel_gaps;
}

// SPDX-License-Identifier: MIT
#include "small_primes.hpp"

namespace roughpi {

alignas(64) std::uint64_t small_prime_bits[SMALL_TABLE_WORDS];
alignas(64) std::uint16_t small_prime_before[SMALL_TABLE_WORDS];

namespace {

// The wheel index of the rough number m (1 counts as rough here: index 0).
std::int64_t index_of(std::int64_t m) { return count_rough_in_range(0, m) - 1; }

void clear_bit(std::int64_t index) { small_prime_bits[index / 64] &= ~(std::uint64_t{1} << (index % 64)); }

bool bit_set(std::int64_t index) { return (small_prime_bits[index / 64] >> (index % 64) & 1) != 0; }

}  // namespace

void fill_small_prime_table()
{
    // Every rough number below the bound, then not 1.
    for (std::int32_t w = 0; w + 1 < SMALL_TABLE_WORDS; ++w)
        small_prime_bits[w] = ~std::uint64_t{0};
    small_prime_bits[SMALL_TABLE_WORDS - 1] = 0;
    clear_bit(0);
    // A rough p is prime when no smaller rough prime has crossed it off. Its
    // multiples p * m with a rough m < p were crossed off by the prime factors
    // of m, which are rough and below p; those from p * p on are crossed off
    // here, m walking the rough numbers by the gap cycle from p's position.
    std::int32_t position = 1;  // of 17; 1 is at position 0
    for (std::int64_t p = FIRST_ROUGH; p * p < SMALL_TABLE_LIMIT;
         p += wheel_gaps[position], position = next_wheel_position(position)) {
        if (!bit_set(index_of(p)))
            continue;
        std::int32_t m_position = position;
        for (std::int64_t m = p; p * m < SMALL_TABLE_LIMIT;
             m += wheel_gaps[m_position], m_position = next_wheel_position(m_position))
            clear_bit(index_of(p * m));
    }
    std::uint16_t before = 0;
    for (std::int32_t w = 0; w < SMALL_TABLE_WORDS; ++w) {
        small_prime_before[w] = before;
        before = static_cast<std::uint16_t>(before + bit_count(small_prime_bits[w]));
    }
}

}  // namespace roughpi

// SPDX-License-Identifier: MIT
// A segmented sieve of Eratosthenes for short intervals anywhere up to
// 2^63 - 1, in fixed memory: what the n-th prime walks after its count.
//
// A window holds the odd numbers of up to WINDOW integers as bits. Crossing
// off a window takes every prime up to the square root of its top, which at
// 2^63 are about 1.4 10^8 primes up to 3.04 10^9: too many to keep. So they
// are found afresh for each window, a block of odd numbers at a time, by
// sieving the block with the primes below 2^16 (which reach the square root
// of every block, as sqrt(3.04 10^9) < 2^16). The memory is fixed at every
// x: the window (1 MiB), the block (16 KiB) and the 6541 odd primes below
// 2^16 (13 KiB), about 1.03 MiB in all; the time of a window is mostly the
// finding of the primes up to its square root, about 3 s at 2^63.
//
// A sieve may be made with a longer window than WINDOW (the count of a range
// does so): the search for the sieving primes then serves more integers, at
// the cost of the larger window, capacity / 16 bytes.
#pragma once

#include <cstdint>
#include <stop_token>
#include <vector>

namespace roughpi::detail {

class segment_sieve {
public:
    // The integers a window covers: 2^24, whose odd numbers are 2^23 bits.
    static constexpr std::int64_t WINDOW = std::int64_t{1} << 24;

    // A sieve of windows of up to `capacity` integers (at least 1).
    explicit segment_sieve(std::int64_t capacity = WINDOW);

    std::int64_t capacity() const { return capacity_; }

    // Sieves [lo, hi], 0 <= lo <= hi <= 2^63 - 1 and hi - lo < capacity(), and
    // returns the number of primes in it. Looks at `stop` after each block of
    // the sieving primes' search (a fraction of a millisecond) and throws
    // cancelled once a stop is requested.
    std::int64_t sieve(std::int64_t lo, std::int64_t hi, const std::stop_token& stop = {});

    // After sieve(): the k-th prime of the window counted from its bottom, or
    // from its top, for 1 <= k <= the count.
    std::int64_t kth_from_bottom(std::int64_t k) const;
    std::int64_t kth_from_top(std::int64_t k) const;

private:
    void cross_off(std::uint64_t p);

    std::vector<std::uint64_t> window_;        // bit i: the odd number first_odd_ + 2i is prime
    std::vector<std::uint64_t> block_;         // the same for a block of the sieving primes' search
    std::vector<std::uint16_t> small_primes_;  // the odd primes below 2^16
    std::int64_t capacity_;
    std::uint64_t first_odd_ = 0;  // the least odd number >= lo
    std::uint64_t bits_ = 0;       // odd numbers in the window
    bool has_two_ = false;         // 2 is in [lo, hi]
};

}  // namespace roughpi::detail

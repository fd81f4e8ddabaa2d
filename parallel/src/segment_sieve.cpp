// SPDX-License-Identifier: MIT
#include "segment_sieve.hpp"

#include "refusals.hpp"

#include <roughpi/error.hpp>

#include <bit>

namespace roughpi::detail {

namespace {

constexpr std::uint64_t SMALL_LIMIT = 1u << 16;
constexpr std::uint64_t BLOCK = std::uint64_t{1} << 18;  // integers of a block of the primes' search

// floor(sqrt(n)) for n < 2^64.
std::uint64_t isqrt(std::uint64_t n)
{
    std::uint64_t r = 0;
    for (std::uint64_t bit = std::uint64_t{1} << 31; bit != 0; bit >>= 1)
        if ((r + bit) * (r + bit) <= n)
            r += bit;
    return r;
}

// All bits set for `bits` odd numbers from word 0 on, the rest of the last
// word clear.
void fill(std::vector<std::uint64_t>& words, std::uint64_t bits)
{
    const std::uint64_t whole = bits / 64;
    for (std::uint64_t i = 0; i < whole; ++i)
        words[i] = ~std::uint64_t{0};
    if (bits % 64 != 0)
        words[whole] = (std::uint64_t{1} << (bits % 64)) - 1;
}

// Clears the bits of the odd multiples of p from the odd number `start` on,
// in a row of odd numbers from `first` with `bits` bits.
void clear_multiples(std::vector<std::uint64_t>& words, std::uint64_t first, std::uint64_t bits, std::uint64_t start,
                     std::uint64_t p)
{
    for (std::uint64_t i = (start - first) / 2; i < bits; i += p)
        words[i / 64] &= ~(std::uint64_t{1} << (i % 64));
}

// The least odd multiple of the odd p that is at least max(p^2, from), for
// p < 2^32 and from < 2^63. The quotient is taken in double precision, which
// is several times quicker than a 64-bit division and off by at most one
// here (from/p is below 2^63, rounded to 53 bits), then put right.
std::uint64_t first_odd_multiple(std::uint64_t p, std::uint64_t from)
{
    const std::uint64_t square = p * p;
    if (square >= from)
        return square;
    std::uint64_t m = static_cast<std::uint64_t>(static_cast<double>(from) / static_cast<double>(p)) * p;
    while (m > from)
        m -= p;
    while (m < from)
        m += p;
    if (m % 2 == 0)
        m += p;
    return m;
}

}  // namespace

segment_sieve::segment_sieve(std::int64_t capacity)
    : window_(static_cast<std::size_t>(capacity) / 128 + 1)
    , block_(BLOCK / 128 + 1)
    , capacity_(capacity)
{
    if (capacity < 1)
        throw internal_error("roughpi: internal error: a sieve with no window");
    // The odd primes below 2^16, by a plain sieve of the odd numbers below it.
    std::vector<bool> composite(SMALL_LIMIT / 2);
    for (std::uint64_t i = 1; i < SMALL_LIMIT / 2; ++i) {
        if (composite[i])
            continue;
        const std::uint64_t p = 2 * i + 1;
        small_primes_.push_back(static_cast<std::uint16_t>(p));
        for (std::uint64_t j = p * p / 2; j < SMALL_LIMIT / 2; j += p)
            composite[j] = true;
    }
    small_primes_.shrink_to_fit();  // 6541 of them: 13082 bytes, not the 16 KiB the growth left
}

void segment_sieve::cross_off(std::uint64_t p)
{
    const std::uint64_t start = first_odd_multiple(p, first_odd_);
    if (start - first_odd_ < 2 * bits_)
        clear_multiples(window_, first_odd_, bits_, start, p);
}

std::int64_t segment_sieve::sieve(std::int64_t lo, std::int64_t hi, const std::stop_token& stop)
{
    if (lo < 0 || hi < lo || hi - lo >= capacity_)
        detail::fail_internally("a window of the sieve out of its bounds");
    const auto low = static_cast<std::uint64_t>(lo);
    const auto high = static_cast<std::uint64_t>(hi);
    has_two_ = low <= 2 && high >= 2;
    first_odd_ = low % 2 == 1 ? low : low + 1;
    bits_ = first_odd_ > high ? 0 : (high - first_odd_) / 2 + 1;
    fill(window_, bits_);
    if (bits_ == 0)
        return has_two_ ? 1 : 0;
    if (first_odd_ == 1)
        window_[0] &= ~std::uint64_t{1};  // 1 is no prime

    const std::uint64_t root = isqrt(high);
    // The primes below 2^16 first, then those up to the root, block by block.
    // (In a long window the small primes take a while too: the stop is
    // looked at every 64 of them.)
    for (std::size_t i = 0; i < small_primes_.size() && small_primes_[i] <= root; ++i) {
        if (i % 64 == 63 && stop.stop_requested())
            throw cancelled();
        cross_off(small_primes_[i]);
    }
    for (std::uint64_t a = SMALL_LIMIT + 1; a <= root; a += BLOCK) {
        if (stop.stop_requested())
            throw cancelled();
        // The odd numbers of [a, a + BLOCK) up to the root (a is odd).
        const std::uint64_t end = a + BLOCK - 1 < root ? a + BLOCK - 1 : root;
        const std::uint64_t block_bits = (end - a) / 2 + 1;
        fill(block_, block_bits);
        const std::uint64_t block_root = isqrt(end);
        for (const std::uint16_t q : small_primes_) {
            if (q > block_root)
                break;
            clear_multiples(block_, a, block_bits, first_odd_multiple(q, a), q);
        }
        for (std::uint64_t w = 0; w * 64 < block_bits; ++w)
            for (std::uint64_t word = block_[w]; word != 0; word &= word - 1)
                cross_off(a + 2 * (w * 64 + static_cast<std::uint64_t>(std::countr_zero(word))));
    }

    std::int64_t count = has_two_ ? 1 : 0;
    for (std::uint64_t w = 0; w * 64 < bits_; ++w)
        count += std::popcount(window_[w]);
    return count;
}

std::int64_t segment_sieve::kth_from_bottom(std::int64_t k) const
{
    if (has_two_ && k-- == 1)
        return 2;
    for (std::uint64_t w = 0; w * 64 < bits_; ++w) {
        const int in_word = std::popcount(window_[w]);
        if (k > in_word) {
            k -= in_word;
            continue;
        }
        std::uint64_t word = window_[w];
        for (; k > 1; --k)
            word &= word - 1;
        return static_cast<std::int64_t>(first_odd_ +
                                         2 * (w * 64 + static_cast<std::uint64_t>(std::countr_zero(word))));
    }
    detail::fail_internally("the sieve has fewer primes in its window than asked for");
}

std::int64_t segment_sieve::kth_from_top(std::int64_t k) const
{
    for (std::uint64_t w = (bits_ + 63) / 64; w-- > 0;) {
        const int in_word = std::popcount(window_[w]);
        if (k > in_word) {
            k -= in_word;
            continue;
        }
        const std::uint64_t word = window_[w];
        // The k-th highest set bit: the (in_word - k + 1)-th lowest.
        std::uint64_t rest = word;
        for (int skip = in_word - static_cast<int>(k); skip > 0; --skip)
            rest &= rest - 1;
        return static_cast<std::int64_t>(first_odd_ +
                                         2 * (w * 64 + static_cast<std::uint64_t>(std::countr_zero(rest))));
    }
    if (has_two_ && k == 1)
        return 2;
    detail::fail_internally("the sieve has fewer primes in its window than asked for");
}

}  // namespace roughpi::detail

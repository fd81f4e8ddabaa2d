// SPDX-License-Identifier: MIT
// What the device code needs of a language that two compilers read: nvcc,
// for the kernels, and g++ (or clang), for the host emulation and the tests
// that check the device's arithmetic against the core. Every function of
// gpu/device/ is ROUGHPI_HD (__host__ __device__ under nvcc, plain inline
// under the others), and the few places where the two differ are here: the
// high word of a product, the real functions, and adding to a sum that other
// threads add to at the same time.
#pragma once

#include <cmath>
#include <cstdint>

#if defined(__CUDACC__)
#  define ROUGHPI_HD __host__ __device__
#else
#  define ROUGHPI_HD
#endif

namespace roughpi::gpu {

// The high 64 bits of the 128-bit product a * b.
ROUGHPI_HD inline std::uint64_t high_product(std::uint64_t a, std::uint64_t b)
{
#if defined(__CUDA_ARCH__)
    return __umul64hi(a, b);
#else
    __extension__ typedef unsigned __int128 product_type;
    return static_cast<std::uint64_t>(static_cast<product_type>(a) * b >> 64);
#endif
}

// The real functions, correctly rounded on both sides where it matters: the
// quotient a / b and fma(a, b, c) are IEEE 754 operations, rounded once to
// nearest, on the device (nvcc's default division of doubles) as on the host.
// sqrt, pow and floor serve only as first guesses that integer arithmetic
// then makes exact, or are exact themselves (floor).
ROUGHPI_HD inline double fused_multiply_add(double a, double b, double c) { return ::fma(a, b, c); }
ROUGHPI_HD inline double round_down(double a) { return ::floor(a); }
ROUGHPI_HD inline double square_root(double a) { return ::sqrt(a); }
ROUGHPI_HD inline double power(double a, double b) { return ::pow(a, b); }

// A signed 128-bit sum in two's complement, for the totals that can pass
// 2^63: the words wrap, so any order of adding gives the same words.
struct wide_sum {
    std::uint64_t low;
    std::uint64_t high;
};

ROUGHPI_HD inline void add_words(wide_sum& to, std::uint64_t low, std::uint64_t high)
{
    const std::uint64_t sum = to.low + low;
    to.high += high + (sum < low ? 1u : 0u);
    to.low = sum;
}

// to += v, for any signed 64-bit v.
ROUGHPI_HD inline void add_signed(wide_sum& to, std::int64_t v)
{
    add_words(to, static_cast<std::uint64_t>(v), v < 0 ? ~std::uint64_t{0} : 0);
}

// to += a * b, for a, b >= 0 (as 64-bit integers).
ROUGHPI_HD inline void add_product(wide_sum& to, std::int64_t a, std::int64_t b)
{
    const auto ua = static_cast<std::uint64_t>(a);
    const auto ub = static_cast<std::uint64_t>(b);
    add_words(to, ua * ub, high_product(ua, ub));
}

// to -= a * b, for a, b >= 0: adds the two's complement of the product.
ROUGHPI_HD inline void subtract_product(wide_sum& to, std::int64_t a, std::int64_t b)
{
    const auto ua = static_cast<std::uint64_t>(a);
    const auto ub = static_cast<std::uint64_t>(b);
    const std::uint64_t low = ua * ub;
    const std::uint64_t high = high_product(ua, ub);
    add_words(to, ~low + 1, ~high + (low == 0 ? 1u : 0u));
}

// *to += v where other threads of the device add to *to at the same time.
// Each word is added by one atomic operation; the carry out of the low word
// is known from the value it held just before, and goes into the high word.
// Every carry is counted once, so the words end as the sequential sum would
// (modulo 2^128), in whatever order the additions happened. The emulation
// runs one thread at a time, and adds plainly.
ROUGHPI_HD inline void add_shared(wide_sum* to, const wide_sum& v)
{
#if defined(__CUDA_ARCH__)
    static_assert(sizeof(unsigned long long) == sizeof(std::uint64_t), "64-bit atomics");
    const std::uint64_t before = atomicAdd(reinterpret_cast<unsigned long long*>(&to->low), v.low);
    const std::uint64_t carry = before + v.low < before ? 1u : 0u;
    atomicAdd(reinterpret_cast<unsigned long long*>(&to->high), v.high + carry);
#else
    add_words(*to, v.low, v.high);
#endif
}

}  // namespace roughpi::gpu

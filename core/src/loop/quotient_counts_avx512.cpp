// SPDX-License-Identifier: MIT
// Eight quotients per step in one AVX-512 vector, by the divider (avx512) or
// from reciprocals and multiplications (avx512rcp, for processors
// whose vector divider is slow: see quotient_reduction.hpp). Compiled for
// AVX-512 F/VL/DQ alone and called only when the processor reports them.
#include "quotient_counts.hpp"
#include "vector_stream.hpp"

// gcc 12 takes the deliberately undefined inputs of its own AVX-512 intrinsics
// for uninitialised variables.
#if defined(__GNUC__) && !defined(__clang__)
#  pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif
#include <immintrin.h>

namespace roughpi::detail {

namespace {

constexpr int FLOOR_MODE = _MM_FROUND_TO_NEG_INF | _MM_FROUND_NO_EXC;

// floor(n/u) in every lane, from n' = n + 1/2, for n <= MAX_VECTOR_N and
// 17 <= u < 2^26, without the divider: the argument is in
// quotient_reduction.hpp ("Quotients without the divider"). The lanes outside
// `live` give 0.
__m512d exact_floor_quotient(__m512d n_half, __m512d u, __mmask8 live)
{
    const __m512d one = _mm512_set1_pd(1.0);
    const __m512d x = _mm512_rcp14_pd(u);                   // |e| <= 2^-14
    const __m512d e = _mm512_fnmadd_pd(u, x, one);          // e = 1 - u x
    const __m512d h = _mm512_mul_pd(n_half, x);             // n' x
    const __m512d a = _mm512_fmadd_pd(e, e, e);             // e + e^2
    const __m512d d = _mm512_mul_pd(h, e);                  // n' x e
    const __m512d t = _mm512_fmadd_pd(d, a, d);             // n' x (e + e^2 + e^3)
    const __m512d y = _mm512_fmadd_pd(n_half, x, t);        // n' x (1 + e + e^2 + e^3), within 0.29/u of n'/u
    return _mm512_maskz_roundscale_pd(live, y, FLOOR_MODE);
}

// The lanes of either kernel: `by_reciprocal` takes floor(n/u) from an
// approximate reciprocal instead of from the divider, and its vector of the
// dividend holds n + 1/2 (exact, as n < 2^51).
template <bool by_reciprocal>
struct avx512_lanes {
    static __m512d dividend(std::int64_t n)
    {
        return _mm512_set1_pd(static_cast<double>(n) + (by_reciprocal ? 0.5 : 0.0));
    }
    static __m256i before(std::int64_t u) { return _mm256_set1_epi32(static_cast<std::int32_t>(u)); }
    static __m512d no_k() { return _mm512_setzero_pd(); }

    static void group(__m512d nv, __m512d& k_sum, __m256i& u_last, std::uint64_t sums, std::int64_t active,
                      std::int32_t* slot)
    {
        // u < 2^26 here, so the u of the step are formed in 32-bit lanes.
        const __m256i from_last = _mm256_permutevar8x32_epi32(u_last, _mm256_set1_epi32(7));
        u_last = _mm256_add_epi32(from_last, _mm256_cvtepu8_epi32(_mm_cvtsi64_si128(static_cast<long long>(sums))));
        const __m512d uv = _mm512_cvtepi32_pd(u_last);
        const __m512d reciprocal = _mm512_set1_pd(RECIPROCAL_OF_MODULUS);
        const auto live = static_cast<__mmask8>(active < VECTOR_GROUP ? (1u << active) - 1 : 0xffu);
        // floor(n/u) + 1 = 30030 k + r, from the unrounded quotient t, or
        // from q = floor(n/u) itself without the divider; 0 in the lanes past
        // the end of the loop.
        __m512d t;
        if constexpr (by_reciprocal)
            t = exact_floor_quotient(nv, uv, live);
        else
            t = active < VECTOR_GROUP ? _mm512_maskz_div_pd(live, nv, uv) : _mm512_div_pd(nv, uv);
        const __m512d k = _mm512_roundscale_pd(_mm512_fmadd_pd(t, reciprocal, reciprocal), FLOOR_MODE);
        k_sum = _mm512_add_pd(k_sum, k);
        _mm256_store_si256(reinterpret_cast<__m256i*>(slot),
                           _mm512_cvttpd_epi32(_mm512_fnmadd_pd(k, _mm512_set1_pd(30030.0), t)));
    }

    static std::int64_t k_total(__m512d k_sum)
    {
        alignas(64) double k_lanes[8];
        _mm512_store_pd(k_lanes, k_sum);
        return exact_lane_total(k_lanes, 8);
    }
};

}  // namespace

std::int64_t sum_quotient_counts_avx512(std::int64_t n, std::int64_t u0, std::int32_t q0, std::int64_t count)
{
    return vector_quotient_sum<avx512_lanes<false>>(n, u0, q0, count);
}

wide_int sum_pair_node_avx512(std::int64_t n, std::int64_t w, std::int64_t first, std::int32_t position,
                              std::int64_t last)
{
    return vector_pair_node_sum<avx512_lanes<false>>(n, w, first, position, last);
}

std::int64_t sum_quotient_counts_avx512_reciprocal(std::int64_t n, std::int64_t u0, std::int32_t q0, std::int64_t count)
{
    return vector_quotient_sum<avx512_lanes<true>>(n, u0, q0, count);
}

wide_int sum_pair_node_avx512_reciprocal(std::int64_t n, std::int64_t w, std::int64_t first, std::int32_t position,
                                         std::int64_t last)
{
    return vector_pair_node_sum<avx512_lanes<true>>(n, w, first, position, last);
}

}  // namespace roughpi::detail

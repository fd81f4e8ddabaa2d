// SPDX-License-Identifier: MIT
// Eight quotients per step, as two vectors of four, with AVX2 and FMA.
// Compiled for that instruction set alone and called only when the processor
// reports it.
#include "quotient_counts.hpp"
#include "vector_stream.hpp"

#include <immintrin.h>

namespace roughpi::detail {

namespace {

// floor(n/u) + 1 = 30030 k + r, from the unrounded quotient t: adds k to
// k_sum and returns the table indices (r - 1 or, for r = 0, -1 or 0).
inline __m128i reduce(__m256d nv, __m256d uv, __m256d& k_sum)
{
    const __m256d reciprocal = _mm256_set1_pd(RECIPROCAL_OF_MODULUS);
    const __m256d t = _mm256_div_pd(nv, uv);
    const __m256d k = _mm256_floor_pd(_mm256_fmadd_pd(t, reciprocal, reciprocal));
    k_sum = _mm256_add_pd(k_sum, k);
    return _mm256_cvttpd_epi32(_mm256_fnmadd_pd(k, _mm256_set1_pd(30030.0), t));
}

struct avx2_lanes {
    static __m256d dividend(std::int64_t n) { return _mm256_set1_pd(static_cast<double>(n)); }
    static __m256i before(std::int64_t u) { return _mm256_set1_epi32(static_cast<std::int32_t>(u)); }
    static __m256d no_k() { return _mm256_setzero_pd(); }

    static void group(__m256d nv, __m256d& k_sum, __m256i& u_last, std::uint64_t sums, std::int64_t active,
                      std::int32_t* slot)
    {
        // u < 2^26 here, so the u of the step are formed in 32-bit lanes.
        const __m256i from_last = _mm256_permutevar8x32_epi32(u_last, _mm256_set1_epi32(7));
        u_last = _mm256_add_epi32(from_last, _mm256_cvtepu8_epi32(_mm_cvtsi64_si128(static_cast<long long>(sums))));
        const __m256d u_low = _mm256_cvtepi32_pd(_mm256_castsi256_si128(u_last));
        const __m256d u_high = _mm256_cvtepi32_pd(_mm256_extracti128_si256(u_last, 1));
        __m256d n_low = nv;
        __m256d n_high = nv;
        if (active < VECTOR_GROUP) {
            // The lanes past the end of the loop divide 0.
            const __m256d lane = _mm256_setr_pd(0.0, 1.0, 2.0, 3.0);
            const __m256d a = _mm256_set1_pd(static_cast<double>(active));
            n_low = _mm256_and_pd(nv, _mm256_cmp_pd(lane, a, _CMP_LT_OQ));
            n_high = _mm256_and_pd(nv, _mm256_cmp_pd(_mm256_add_pd(lane, _mm256_set1_pd(4.0)), a, _CMP_LT_OQ));
        }
        _mm_store_si128(reinterpret_cast<__m128i*>(slot), reduce(n_low, u_low, k_sum));
        _mm_store_si128(reinterpret_cast<__m128i*>(slot + 4), reduce(n_high, u_high, k_sum));
    }

    static std::int64_t k_total(__m256d k_sum)
    {
        alignas(32) double k_lanes[4];
        _mm256_store_pd(k_lanes, k_sum);
        return exact_lane_total(k_lanes, 4);
    }
};

}  // namespace

std::int64_t sum_quotient_counts_avx2(std::int64_t n, std::int64_t u0, std::int32_t q0, std::int64_t count)
{
    return vector_quotient_sum<avx2_lanes>(n, u0, q0, count);
}

wide_int sum_pair_node_avx2(std::int64_t n, std::int64_t w, std::int64_t first, std::int32_t position,
                            std::int64_t last)
{
    return vector_pair_node_sum<avx2_lanes>(n, w, first, position, last);
}

}  // namespace roughpi::detail

// Eight quotients per step, as two vectors of four, with AVX2 and FMA.
// Compiled for that instruction set alone and called only when the processor
// reports it.
#include "quotient_counts.hpp"
#include "quotient_counts_vector.hpp"

#include <immintrin.h>


namespace roughpi::detail {

namespace {

// floor(n/u) + 1 = 30030 k + r, from the unrounded quotient t: adds k to
// k_sum and returns the table indices (r - 1 or, for r = 0, -1 or 0).
inline __m128i reduce(__m256d nv, __m256d uv, __m256d& k_sum)
{
    const __m256d reciprocal = _mm256_set1_pd(reciprocal_of_modulus);
    const __m256d t = _mm256_div_pd(nv, uv);
    const __m256d k = _mm256_floor_pd(_mm256_fmadd_pd(t, reciprocal, reciprocal));
    k_sum = _mm256_add_pd(k_sum, k);
    return _mm256_cvttpd_epi32(_mm256_fnmadd_pd(k, _mm256_set1_pd(30030.0), t));
}

struct avx2_lanes {
    __m256d nv;
    __m256d beyond;
    __m256d k_sum = _mm256_setzero_pd();

    void set_dividend(std::int64_t n)
    {
        nv = _mm256_set1_pd(static_cast<double>(n));
        beyond = _mm256_set1_pd(static_cast<double>(n + 1));
    }

    void group(std::uint64_t starts, std::int64_t u, std::int64_t active, std::int32_t* slot)
    {
        const __m128i offsets = _mm_cvtsi64_si128(static_cast<long long>(starts));
        const __m256d base = _mm256_set1_pd(static_cast<double>(u));
        __m256d u_low = _mm256_add_pd(base, _mm256_cvtepi32_pd(_mm_cvtepu8_epi32(offsets)));
        __m256d u_high = _mm256_add_pd(base, _mm256_cvtepi32_pd(_mm_cvtepu8_epi32(_mm_srli_epi64(offsets, 32))));
        if (active < vector_group) {
            const __m256d lane = _mm256_setr_pd(0.0, 1.0, 2.0, 3.0);
            const __m256d a = _mm256_set1_pd(static_cast<double>(active));
            u_low = _mm256_blendv_pd(beyond, u_low, _mm256_cmp_pd(lane, a, _CMP_LT_OQ));
            u_high = _mm256_blendv_pd(beyond, u_high,
                                      _mm256_cmp_pd(_mm256_add_pd(lane, _mm256_set1_pd(4.0)), a, _CMP_LT_OQ));
        }
        _mm_store_si128(reinterpret_cast<__m128i*>(slot), reduce(nv, u_low, k_sum));
        _mm_store_si128(reinterpret_cast<__m128i*>(slot + 4), reduce(nv, u_high, k_sum));
    }

    std::int64_t take_k_total()
    {
        alignas(32) double k_lanes[4];
        _mm256_store_pd(k_lanes, k_sum);
        k_sum = _mm256_setzero_pd();
        return exact_lane_total(k_lanes, 4);
    }
};

}  // namespace

std::int64_t sum_quotient_counts_avx2(std::int64_t n, std::int64_t u0, std::int32_t q0,
                                      std::int64_t count)
{
    avx2_lanes lanes;
    return vector_quotient_sum(n, u0, q0, count, lanes);
}

wide_int sum_pair_node_avx2(std::int64_t n, std::int64_t w, std::int64_t first, std::int32_t position,
                          std::int64_t last)
{
    avx2_lanes lanes;
    return vector_pair_node_sum(n, w, first, position, last, lanes);
}

}  // namespace roughpi::detail

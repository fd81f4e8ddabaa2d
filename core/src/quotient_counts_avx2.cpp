// Eight quotients per step, as two vectors of four, with AVX2 and FMA.
// Compiled for that instruction set alone and called only when the processor
// reports it.
#include "quotient_counts.hpp"
#include "quotient_counts_vector.hpp"

#include <immintrin.h>

#include <cstring>

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

}  // namespace

std::int64_t sum_quotient_counts_avx2(std::int64_t n, std::int64_t u0, std::int32_t q0,
                                      std::int64_t count)
{
    std::int64_t sum = 0;
    std::int64_t u = u0;
    std::int32_t q = q0;
    std::int64_t left = count;

    const __m256d nv = _mm256_set1_pd(static_cast<double>(n));
    const __m256d beyond = _mm256_set1_pd(static_cast<double>(n + 1));
    const __m256d lane = _mm256_setr_pd(0.0, 1.0, 2.0, 3.0);

    while (left > 0) {
        if (q > WHEEL_RESIDUES - vector_group) {
            // The group would read gaps past the end of the cycle: step to the wrap.
            sum += scalar_quotient_count(n, u);
            u += wheel_gaps[q];
            q = next_wheel_position(q);
            --left;
            continue;
        }
        const std::int64_t groups = groups_before_wrap_or_flush(q, left);
        __m256d k_sum = _mm256_setzero_pd();
        std::int64_t table_sum = 0;
        index_ring ring;
        for (std::int64_t g = 0; g < groups; ++g) {
            std::uint64_t gaps;
            std::memcpy(&gaps, wheel_gaps + q + g * vector_group, sizeof(gaps));
            const __m128i offsets = _mm_cvtsi64_si128(static_cast<long long>(exclusive_byte_sums(gaps)));
            const __m256d base = _mm256_set1_pd(static_cast<double>(u));
            __m256d u_low = _mm256_add_pd(base, _mm256_cvtepi32_pd(_mm_cvtepu8_epi32(offsets)));
            __m256d u_high =
                _mm256_add_pd(base, _mm256_cvtepi32_pd(_mm_cvtepu8_epi32(_mm_srli_epi64(offsets, 32))));
            u += group_span(gaps);
            const std::int64_t active = left - g * vector_group;
            if (active < vector_group) {
                const __m256d a = _mm256_set1_pd(static_cast<double>(active));
                u_low = _mm256_blendv_pd(beyond, u_low, _mm256_cmp_pd(lane, a, _CMP_LT_OQ));
                u_high = _mm256_blendv_pd(beyond, u_high,
                                          _mm256_cmp_pd(_mm256_add_pd(lane, _mm256_set1_pd(4.0)), a, _CMP_LT_OQ));
            }
            std::int32_t* slot = ring.index[g & (ring_slots - 1)];
            _mm_store_si128(reinterpret_cast<__m128i*>(slot), reduce(nv, u_low, k_sum));
            _mm_store_si128(reinterpret_cast<__m128i*>(slot + 4), reduce(nv, u_high, k_sum));
            // Table reads for the group `read_behind` steps back.
            if (g >= read_behind)
                table_sum += read_slot(ring, g - read_behind);
        }
        for (std::int64_t g = groups > read_behind ? groups - read_behind : 0; g < groups; ++g)
            table_sum += read_slot(ring, g);
        alignas(32) double k_lanes[4];
        _mm256_store_pd(k_lanes, k_sum);
        sum += exact_lane_total(k_lanes, 4) * WHEEL_RESIDUES + table_sum;

        const std::int64_t done = groups * vector_group < left ? groups * vector_group : left;
        q += static_cast<std::int32_t>(groups * vector_group);
        if (q == WHEEL_RESIDUES)
            q = 0;
        left -= done;
    }
    return sum;
}

}  // namespace roughpi::detail

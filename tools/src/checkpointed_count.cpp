// SPDX-License-Identifier: MIT
#include <roughpi/tools/checkpointed_count.hpp>

#include <roughpi/tools/checkpoint.hpp>
#include <roughpi/tools/resumed_count.hpp>

#include <roughpi/estimates.hpp>
#include <roughpi/nth_prime.hpp>
#include <roughpi/parallel.hpp>
#include <roughpi/pieces.hpp>

#include <vector>

namespace roughpi::tools {

std::int64_t prime_count_with_checkpoint(std::int64_t x, const checkpointed_options& options,
                                         const std::function<void(double)>& progress)
{
    const std::vector<prime_count_piece> pieces = prime_count_piece_list(x, options.stop);
    checkpoint file(options.file, x, pieces, options.key, options.stop);
    const double first_share = options.double_check ? 0.5 : 1.0;
    const std::int64_t pi = count_the_rest(
        file, options.engine,
        [&](double share) {
            if (progress)
                progress(first_share * share);
        },
        options.stop);
    if (!options.double_check)
        return pi;
    parallel_options other;
    other.threads = options.engine.threads;
    other.stop = options.stop;
    other.progress = [&](double share) {
        if (progress)
            progress(first_share + (1 - first_share) * share);
    };
    return double_checked(x, pi, prime_count_other_way(x, other));
}

std::int64_t nth_prime_with_checkpoint(std::int64_t n, const checkpointed_options& options,
                                       const std::function<void(double)>& progress)
{
    const std::int64_t estimate = nth_prime_estimate(n);
    const std::int64_t pi = prime_count_with_checkpoint(estimate, options, [&](double share) {
        if (progress)
            progress(NTH_PRIME_COUNT_SHARE * share);
    });
    parallel_options sieve;
    sieve.threads = options.engine.threads;
    sieve.stop = options.stop;
    sieve.double_check = options.double_check;
    if (progress)
        sieve.progress = [&](double share) { progress(NTH_PRIME_COUNT_SHARE + (1 - NTH_PRIME_COUNT_SHARE) * share); };
    return nth_prime_from_count(n, estimate, pi, sieve);
}

}  // namespace roughpi::tools

// SPDX-License-Identifier: MIT
#include <roughpi/tools/resumed_count.hpp>

#include <roughpi/pieces.hpp>

namespace roughpi::tools {

std::int64_t count_the_rest(checkpoint& file, const count_engine& engine, const std::function<void(double)>& progress,
                            std::stop_token stop)
{
    const double held = file.share_held();
    if (progress)
        progress(held);
    const auto record = [&](std::size_t index, const prime_count_sums& piece_sums) { file.record(index, piece_sums); };
    // Called about ten times a second, and at the end.
    const auto flush = [&](double done) {
        file.flush();
        if (progress)
            progress(held + (1.0 - held) * done);
    };
    prime_count_sums sums = file.sums();
    try {
        sums += count_pieces(engine, file.pieces(), file.missing(), record, flush, std::move(stop));
    } catch (...) {
        // Stopped, or failed: what was finished is kept for the next run.
        try {
            file.flush();
        } catch (...) {
        }
        throw;
    }
    file.flush();
    // The split is the one this process made for the checkpoint: the sums are
    // checked against it, not against a split worked out again.
    return prime_count_from_sums(sums, file.pieces());
}

}  // namespace roughpi::tools

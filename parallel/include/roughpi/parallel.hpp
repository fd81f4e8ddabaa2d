// SPDX-License-Identifier: MIT
// pi(x) on every core: the pieces of the count (see pieces.hpp) shared out
// among worker threads. In the library roughpi_parallel (CMake target
// roughpi::parallel), so that the counting core itself has no threads.
//
// The workers take the next piece from a shared counter, largest estimated
// piece first; each keeps sums of its own, and those are added when all are
// done. The counting shares nothing between threads but the read-only wheel
// tables. The result is identical to prime_count(x) for every thread count.
//
// A caller that embeds the library (a GUI, a notebook) shows a long count's
// progress with options.progress, saves its pieces with options.piece_done,
// and stops it with options.stop; see doc/embedding.md.
#pragma once

#include <roughpi/parallel_export.hpp>
#include <roughpi/pieces.hpp>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <stop_token>
#include <vector>

namespace roughpi {

// The most worker threads a count takes.
inline constexpr int MAX_THREADS = 4096;

// Below this a count takes milliseconds: prime_count_parallel counts it on
// the calling thread, as one piece, before more threads could start (and
// roughpi-mpi leaves it to rank 0).
inline constexpr std::int64_t PARALLEL_FROM = 10'000'000'000;  // 10^10

// The logical CPUs this process may run on: those of its affinity mask (on
// Linux sched_getaffinity, on Windows the process affinity mask), never more
// than std::thread::hardware_concurrency(); at least 1.
ROUGHPI_PARALLEL_API int usable_cpus() noexcept;

struct parallel_options {
    // Worker threads: 0 means one per logical CPU that the process may use,
    // usable_cpus() (at most MAX_THREADS). A count never starts more threads
    // than it has pieces.
    int threads = 0;
    // If set, called on the calling thread about ten times a second, and once
    // at the end with 1, with the estimated share of the work done so far.
    std::function<void(double share_done)> progress;
    // If set, called on the calling thread for each finished piece, with its
    // index in the list of pieces and its own sums: for saving a count as it
    // goes. When it throws, the workers stop after their current pieces and
    // the exception reaches the caller.
    std::function<void(std::size_t index, const prime_count_sums& piece_sums)> piece_done;
    // If it can be stopped, the count stops when stop is requested: the
    // workers drop the pieces in hand (they look at the request every few
    // milliseconds of counting, and so does the split into pieces), take no
    // further piece, and the call throws roughpi::cancelled, with no number.
    // The pieces finished before the stop have reached piece_done. With a
    // token that can be stopped a count always goes piece by piece, also on
    // one thread.
    std::stop_token stop;
    // Count twice, as independently as the method allows, and give the
    // value only when both agree (internal_error naming both otherwise): the
    // usual split on the best counting path, then the other split of x
    // (whose pieces end elsewhere, so no piece sum is shared) on another
    // path where this processor has more than one (second_counting_path).
    // It guards against a fault of one path, of a core or of memory; it
    // takes about twice the time. piece_done sees the pieces of the first
    // count only, and progress runs once over both.
    bool double_check = false;
};

// pi(x) on options.threads threads (every CPU it may use by default). Throws
// input_error for a thread count outside [0, MAX_THREADS], cancelled when
// options.stop is requested.
// Memory: the list of pieces (a few thousand pieces of 104 bytes) and each
// worker's stack and sums; the counting itself allocates nothing.
ROUGHPI_PARALLEL_API std::int64_t prime_count_parallel(std::int64_t x, int threads = 0);
ROUGHPI_PARALLEL_API std::int64_t prime_count_parallel(std::int64_t x, const parallel_options& options);

// The pieces pieces[i], i in `todo`, of one count, on options.threads
// threads, largest estimated first; returns their sums. progress reports the
// share of those pieces' work. Throws input_error when an index is out of
// range or given twice, or as prime_count_add_piece does; cancelled when
// options.stop is requested.
ROUGHPI_PARALLEL_API prime_count_sums count_pieces_parallel(std::span<const prime_count_piece> pieces,
                                                            std::span<const std::size_t> todo,
                                                            const parallel_options& options = {});

// The second count of a double check: pi(x) from the other split of x, on
// second_counting_path(), on options.threads threads with options.progress
// and options.stop (piece_done is not called: these pieces are not those of
// a checkpoint). Compare it with a count of the usual split
// (double_checked).
ROUGHPI_PARALLEL_API std::int64_t prime_count_other_way(std::int64_t x, const parallel_options& options = {});

// The counting path of the second count: the best path this processor has
// other than best_counting_path(), or that one where it is the only one.
ROUGHPI_PARALLEL_API counting_path second_counting_path() noexcept;

// `first` when the two counts of x agree; internal_error naming both when
// they do not.
ROUGHPI_PARALLEL_API std::int64_t double_checked(std::int64_t x, std::int64_t first, std::int64_t second);

// All the pieces of x, in their fixed order (prime_count_pieces into a vector).
ROUGHPI_PARALLEL_API std::vector<prime_count_piece> prime_count_piece_list(std::int64_t x);
// The same, throwing cancelled once `stop` is requested.
ROUGHPI_PARALLEL_API std::vector<prime_count_piece> prime_count_piece_list(std::int64_t x, const std::stop_token& stop);
// The same for either split.
ROUGHPI_PARALLEL_API std::vector<prime_count_piece> prime_count_piece_list(std::int64_t x, split_kind split,
                                                                           const std::stop_token& stop);

}  // namespace roughpi

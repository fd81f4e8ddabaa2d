// SPDX-License-Identifier: MIT
#include "progress_pace.hpp"
#include "refusals.hpp"
#include "thread_count.hpp"
#include "worker_pool.hpp"

#include <roughpi/error.hpp>
#include <roughpi/parallel.hpp>
#include <roughpi/prime_count.hpp>

#include <algorithm>
#include <chrono>
#include <functional>
#include <stop_token>
#include <string>

namespace roughpi {

namespace {

using detail::PROGRESS_EVERY;

// The pieces pieces[i], i in todo, counted on `path` (count_pieces_parallel).
prime_count_sums count_pieces_on(std::span<const prime_count_piece> pieces, std::span<const std::size_t> todo,
                                 const parallel_options& options, counting_path path);

// Progress over [from, from + share) of the whole.
std::function<void(double)> part_of(const std::function<void(double)>& progress, double from, double share)
{
    if (!progress)
        return {};
    return [progress, from, share](double done) { progress(from + share * done); };
}

}  // namespace

std::vector<prime_count_piece> prime_count_piece_list(std::int64_t x, split_kind split, const std::stop_token& stop)
{
    std::vector<prime_count_piece> pieces(MAX_PIECES);
    pieces.resize(prime_count_pieces(x, pieces, split, stop));
    return pieces;
}

std::vector<prime_count_piece> prime_count_piece_list(std::int64_t x, const std::stop_token& stop)
{
    return prime_count_piece_list(x, split_kind::usual, stop);
}

std::vector<prime_count_piece> prime_count_piece_list(std::int64_t x)
{
    return prime_count_piece_list(x, std::stop_token());
}

prime_count_sums count_pieces_parallel(std::span<const prime_count_piece> pieces, std::span<const std::size_t> todo,
                                       const parallel_options& options)
{
    return count_pieces_on(pieces, todo, options, best_counting_path());
}

namespace {

prime_count_sums count_pieces_on(std::span<const prime_count_piece> pieces, std::span<const std::size_t> todo,
                                 const parallel_options& options, counting_path path)
{
    int threads = detail::resolve_threads(options.threads);

    // The pieces to count, largest estimate first (ties in list order).
    std::vector<std::size_t> order(todo.begin(), todo.end());
    std::vector<bool> seen(pieces.size());
    double todo_cost = 0.0;
    for (const std::size_t index : order) {
        if (index >= pieces.size() || seen[index])
            detail::refuse("piece " + std::to_string(index) +
                           (index >= pieces.size() ? " is not in the list of pieces" : " is given twice"));
        seen[index] = true;
        todo_cost += pieces[index].cost();
    }
    detail::largest_first(pieces, order);
    if (static_cast<std::size_t>(threads) > order.size())
        threads = order.empty() ? 1 : static_cast<int>(order.size());

    std::size_t cursor = 0;  // the next piece in `order`; read by one worker at a time
    detail::worker_pool pool(
        pieces, threads,
        [&](std::size_t& index) {
            if (cursor == order.size())
                return false;
            index = order[cursor++];
            return true;
        },
        path);

    // A stop request lets the workers take no further piece: they drop
    // those in hand within milliseconds, and the loop below ends.
    const std::stop_callback stop_workers(options.stop, [&pool] { pool.stop(); });

    // The calling thread reports the finished pieces as they come, and the
    // progress every PROGRESS_EVERY.
    detail::collect_finished(pool, pieces, todo_cost, options.piece_done, options.progress, PROGRESS_EVERY);
    prime_count_sums sums = pool.join();
    if (options.stop.stop_requested())
        throw cancelled();
    if (options.progress)
        options.progress(1.0);
    return sums;
}

// Every piece of the split `split` of x, counted on `path`.
std::int64_t count_split(std::int64_t x, split_kind split, const parallel_options& options, counting_path path)
{
    const std::vector<prime_count_piece> pieces = prime_count_piece_list(x, split, options.stop);
    std::vector<std::size_t> todo(pieces.size());
    for (std::size_t i = 0; i < todo.size(); ++i)
        todo[i] = i;
    // The list was made here: the sums are checked against it, not against
    // the split worked out once more.
    return prime_count_from_sums(count_pieces_on(pieces, todo, options, path), pieces);
}

}  // namespace

std::int64_t prime_count_parallel(std::int64_t x, const parallel_options& options)
{
    const int threads = detail::resolve_threads(options.threads);
    if (options.stop.stop_requested())
        throw cancelled();
    if (options.double_check) {
        parallel_options first = options;
        first.double_check = false;
        first.progress = part_of(options.progress, 0.0, 0.5);
        const std::int64_t pi = prime_count_parallel(x, first);
        parallel_options second = first;
        second.piece_done = nullptr;
        second.progress = part_of(options.progress, 0.5, 0.5);
        return double_checked(x, pi, prime_count_other_way(x, second));
    }
    // A count that takes milliseconds, or one on this thread that nobody
    // watches, runs whole (unless its pieces are asked for), stopped on the
    // token as a piece would be: the split would cost more than the count
    // itself below about 10^11. The rest goes piece by piece.
    if ((x < PARALLEL_FROM && !options.piece_done) ||
        (threads == 1 && !options.progress && !options.piece_done)) {
        const std::int64_t pi = prime_count(x, options.stop);
        if (options.progress)
            options.progress(1.0);
        return pi;
    }
    return count_split(x, split_kind::usual, options, best_counting_path());
}

std::int64_t prime_count_other_way(std::int64_t x, const parallel_options& options)
{
    detail::resolve_threads(options.threads);
    parallel_options other = options;
    other.piece_done = nullptr;
    return count_split(x, split_kind::other, other, second_counting_path());
}

counting_path second_counting_path() noexcept
{
    const counting_path best = best_counting_path();
    // counting_paths() lists the paths from the plainest up.
    const std::span<const counting_path> paths = counting_paths();
    for (auto it = paths.rbegin(); it != paths.rend(); ++it)
        if (*it != best && counting_path_available(*it))
            return *it;
    return best;
}

std::int64_t double_checked(std::int64_t x, std::int64_t first, std::int64_t second)
{
    if (first != second)
        detail::fail_internally("the double check of pi(" + std::to_string(x) + ") failed: the first count gave " +
                                std::to_string(first) + ", the second " + std::to_string(second) +
                                "; no result is given");
    return first;
}

std::int64_t prime_count_parallel(std::int64_t x, int threads)
{
    parallel_options options;
    options.threads = threads;
    return prime_count_parallel(x, options);
}

}  // namespace roughpi

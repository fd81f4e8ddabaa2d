#include "thread_count.hpp"
#include "worker_pool.hpp"

#include <roughpi/error.hpp>
#include <roughpi/parallel.hpp>
#include <roughpi/prime_count.hpp>

#include <algorithm>
#include <chrono>
#include <stop_token>
#include <string>

namespace roughpi {

namespace {

// How often the progress is reported.
constexpr std::chrono::milliseconds PROGRESS_EVERY{100};

// Pieces a count has at most in practice, for the first try at the list.
constexpr std::size_t USUAL_PIECES = 8192;

}  // namespace

std::vector<prime_count_piece> prime_count_piece_list(std::int64_t x, const std::stop_token& stop)
{
    std::vector<prime_count_piece> pieces(USUAL_PIECES);
    const std::size_t total = prime_count_pieces(x, pieces, stop);
    if (total > pieces.size()) {
        pieces.resize(total);
        prime_count_pieces(x, pieces, stop);
    }
    pieces.resize(total);
    return pieces;
}

std::vector<prime_count_piece> prime_count_piece_list(std::int64_t x)
{
    return prime_count_piece_list(x, std::stop_token());
}

prime_count_sums count_pieces_parallel(std::span<const prime_count_piece> pieces, std::span<const std::size_t> todo,
                                       const parallel_options& options)
{
    int threads = detail::resolve_threads(options.threads);

    // The pieces to count, largest estimate first (ties in list order).
    std::vector<std::size_t> order(todo.begin(), todo.end());
    std::vector<bool> seen(pieces.size());
    double todo_cost = 0.0;
    for (const std::size_t index : order) {
        if (index >= pieces.size() || seen[index])
            throw input_error("roughpi: piece " + std::to_string(index) +
                              (index >= pieces.size() ? " is not in the list of pieces" : " is given twice"));
        seen[index] = true;
        todo_cost += pieces[index].cost();
    }
    detail::largest_first(pieces, order);
    if (static_cast<std::size_t>(threads) > order.size())
        threads = order.empty() ? 1 : static_cast<int>(order.size());

    std::size_t cursor = 0;  // the next piece in `order`; read by one worker at a time
    detail::worker_pool pool(pieces, threads, [&](std::size_t& index) {
        if (cursor == order.size())
            return false;
        index = order[cursor++];
        return true;
    });

    // A stop request lets the workers take no further piece: they drop
    // those in hand within milliseconds, and the loop below ends.
    const std::stop_callback stop_workers(options.stop, [&pool] { pool.stop(); });

    // The calling thread reports the finished pieces as they come, and the
    // progress every PROGRESS_EVERY.
    std::vector<detail::finished_piece> finished;
    double done_cost = 0.0;
    auto last_progress = std::chrono::steady_clock::now();
    try {
        while (pool.wait(PROGRESS_EVERY, finished)) {
            for (const detail::finished_piece& piece : finished) {
                done_cost += pieces[piece.index].cost();
                if (options.piece_done)
                    options.piece_done(piece.index, piece.sums);
            }
            finished.clear();
            const auto now = std::chrono::steady_clock::now();
            if (options.progress && todo_cost > 0.0 && now - last_progress >= PROGRESS_EVERY) {
                options.progress(std::min(done_cost / todo_cost, 1.0));
                last_progress = now;
            }
        }
    } catch (...) {
        pool.stop();
        throw;
    }
    prime_count_sums sums = pool.join();
    if (options.stop.stop_requested())
        throw cancelled();
    if (options.progress)
        options.progress(1.0);
    return sums;
}

std::int64_t prime_count_parallel(std::int64_t x, const parallel_options& options)
{
    const int threads = detail::resolve_threads(options.threads);
    if (options.stop.stop_requested())
        throw cancelled();
    // A count that takes milliseconds, or one on this thread that nobody
    // watches or may stop, runs whole; the rest goes piece by piece.
    if (x < PARALLEL_FROM ||
        (threads == 1 && !options.progress && !options.piece_done && !options.stop.stop_possible())) {
        const std::int64_t pi = prime_count(x);
        if (options.progress)
            options.progress(1.0);
        return pi;
    }
    const std::vector<prime_count_piece> pieces = prime_count_piece_list(x, options.stop);
    std::vector<std::size_t> todo(pieces.size());
    for (std::size_t i = 0; i < todo.size(); ++i)
        todo[i] = i;
    return prime_count_from_sums(count_pieces_parallel(pieces, todo, options), options.stop);
}

std::int64_t prime_count_parallel(std::int64_t x, int threads)
{
    parallel_options options;
    options.threads = threads;
    return prime_count_parallel(x, options);
}

}  // namespace roughpi

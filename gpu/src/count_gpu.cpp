// SPDX-License-Identifier: MIT
// pi(x) and lists of pieces on the device (roughpi/gpu.hpp): the pieces
// checked, handed to the device's pool largest first, and collected with
// progress reports on the calling thread, as the count on threads does.
#include "device.hpp"
#include "gpu_pool.hpp"
#include "piece_access.hpp"
#include "refusals.hpp"

#include <roughpi/error.hpp>
#include <roughpi/gpu.hpp>

#include <algorithm>
#include <chrono>
#include <stop_token>
#include <string>
#include <vector>

namespace roughpi {

namespace {

// How often the progress is reported and the pool looked at.
constexpr std::chrono::milliseconds PROGRESS_EVERY{100};

gpu::gpu_pool_options pool_options(const gpu_options& options)
{
    gpu::gpu_pool_options pool;
    pool.device = options.device;
    pool.emulate = options.emulate;
    return pool;
}

// Refuses, before anything is counted, what prime_count_add_piece would
// refuse of any of the pieces.
void check_pieces(std::span<const prime_count_piece> pieces, const prime_count_sums& sums)
{
    std::vector<bool> seen(MAX_PIECES);
    for (const prime_count_piece& piece : pieces) {
        detail::node_of(piece);  // refuses a piece this process did not make
        const prime_count_piece& first = pieces.front();
        const bool other_count = piece.x() != first.x() || piece.split() != first.split() ||
            (sums.pieces() > 0 && (piece.x() != sums.x() || piece.split() != sums.split()));
        if (other_count)
            gpu::refuse("the pieces to count on the device are not all of the count of the sums (" +
                        std::to_string(piece.x()) + " and " + std::to_string(sums.pieces() > 0 ? sums.x() : first.x()) +
                        ")");
        const auto index = static_cast<std::size_t>(piece.index());
        if (seen[index] || sums.holds(piece.index()))
            gpu::refuse("piece " + std::to_string(piece.index()) + " of the count of " + std::to_string(piece.x()) +
                        (seen[index] ? " is given twice" : " is in these sums already"));
        seen[index] = true;
    }
}

}  // namespace

void count_pieces_gpu(std::span<const prime_count_piece> pieces, prime_count_sums& sums, const gpu_options& options)
{
    check_pieces(pieces, sums);
    if (options.stop.stop_requested())
        throw cancelled();

    // Largest estimate first (ties in list order), so that the last pieces
    // to finish are short.
    std::vector<std::size_t> order(pieces.size());
    double todo_cost = 0.0;
    for (std::size_t i = 0; i < order.size(); ++i) {
        order[i] = i;
        todo_cost += pieces[i].cost();
    }
    std::stable_sort(order.begin(), order.end(),
                     [&](std::size_t a, std::size_t b) { return pieces[a].cost() > pieces[b].cost(); });
    std::size_t cursor = 0;  // read by the pool's thread alone
    const std::unique_ptr<detail::piece_pool> pool = gpu::make_gpu_pool(
        pieces,
        [&](std::size_t& index) {
            if (cursor == order.size())
                return detail::offer::none;
            index = order[cursor++];
            return detail::offer::piece;
        },
        pool_options(options));
    const std::stop_callback stop_device(options.stop, [&pool] { pool->stop(); });

    detail::collect_finished(*pool, pieces, todo_cost, options.piece_done, options.progress, PROGRESS_EVERY);
    const prime_count_sums counted = pool->join();
    if (options.stop.stop_requested())
        throw cancelled();
    if (options.progress)
        options.progress(1.0);
    sums += counted;
}

std::int64_t prime_count_gpu(std::int64_t x, const gpu_options& options)
{
    std::vector<prime_count_piece> pieces(MAX_PIECES);
    pieces.resize(prime_count_pieces(x, pieces, options.stop));
    prime_count_sums sums;
    count_pieces_gpu(pieces, sums, options);
    // The list was made here: the sums are checked against it.
    return prime_count_from_sums(sums, pieces);
}

gpu_device count_gpu_device(const gpu_options& options)
{
    const gpu::memory_plan plan(gpu::MAX_SLOTS);
    gpu_device d;
    d.number = options.device;
    d.memory_used = plan.bytes();
    if (options.emulate) {
        gpu::open_emulated_device(1);
        d.name = "the host emulation";
        return d;
    }
    gpu::open_cuda_device(options.device, gpu::MAX_SLOTS);
    const gpu::device_description description = gpu::describe_cuda_device(options.device);
    d.name = description.name;
    d.major = description.major;
    d.minor = description.minor;
    d.multiprocessors = description.multiprocessors;
    d.memory = description.memory;
    return d;
}

std::size_t gpu_memory_bound() { return gpu::memory_plan(gpu::MAX_SLOTS).bytes(); }

}  // namespace roughpi

// SPDX-License-Identifier: MIT
#include <roughpi/tools/count_engine.hpp>

#include <roughpi/gpu.hpp>
#include <roughpi/parallel.hpp>

#include <vector>

namespace roughpi::tools {

namespace {

gpu_options gpu_options_of(const count_engine& engine, const std::function<void(double)>& progress,
                           std::stop_token stop)
{
    gpu_options options;
    options.device = engine.gpu_device;
    options.emulate = engine.gpu_emulate;
    options.progress = progress;
    options.stop = std::move(stop);
    return options;
}

}  // namespace

std::int64_t count_pi(std::int64_t x, const count_engine& engine, const std::function<void(double)>& progress,
                      std::stop_token stop)
{
    if (engine.gpu)
        return prime_count_gpu(x, gpu_options_of(engine, progress, std::move(stop)));
    parallel_options options;
    options.threads = engine.threads;
    options.progress = progress;
    options.stop = std::move(stop);
    return prime_count_parallel(x, options);
}

prime_count_sums count_pieces(const count_engine& engine, std::span<const prime_count_piece> pieces,
                              std::span<const std::size_t> todo,
                              const std::function<void(std::size_t, const prime_count_sums&)>& piece_done,
                              const std::function<void(double)>& progress, std::stop_token stop)
{
    if (!engine.gpu) {
        parallel_options options;
        options.threads = engine.threads;
        options.progress = progress;
        options.piece_done = piece_done;
        options.stop = std::move(stop);
        return count_pieces_parallel(pieces, todo, options);
    }
    // The device counts a list of pieces: those of `todo`, whose places in
    // it lead back to their indices.
    std::vector<prime_count_piece> listed;
    listed.reserve(todo.size());
    for (const std::size_t index : todo)
        listed.push_back(pieces[index]);
    gpu_options options = gpu_options_of(engine, progress, std::move(stop));
    if (piece_done)
        options.piece_done = [&](std::size_t place, const prime_count_sums& sums) { piece_done(todo[place], sums); };
    prime_count_sums sums;
    count_pieces_gpu(listed, sums, options);
    return sums;
}

}  // namespace roughpi::tools

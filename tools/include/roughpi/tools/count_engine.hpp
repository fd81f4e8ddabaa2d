// SPDX-License-Identifier: MIT
// Where the programs count the pieces of a count: on threads of the CPU
// (roughpi/parallel.hpp) or, with --gpu, on a CUDA device (roughpi/gpu.hpp).
// The pieces and their sums are the same either way, so a count, its
// checkpoint and its progress do not depend on which.
#pragma once

#include <roughpi/pieces.hpp>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <stop_token>

namespace roughpi::tools {

struct count_engine {
    int threads = 0;           // on the CPU: threads, 0 for every CPU the process may use
    bool gpu = false;          // on a CUDA device instead (--gpu)
    int gpu_device = 0;        // which (--gpu=N)
    bool gpu_emulate = false;  // or its host emulation (--gpu=emulate)
};

// pi(x). progress, if set, gets the share done about ten times a second and
// 1 at the end; `stop` ends the count with roughpi::cancelled. On a device,
// roughpi::gpu_unavailable when there is none.
std::int64_t count_pi(std::int64_t x, const count_engine& engine, const std::function<void(double)>& progress,
                      std::stop_token stop);

// The sums of pieces[i] for i in `todo`, each handed to piece_done (with i)
// as it is finished; progress and stop as for count_pi.
prime_count_sums count_pieces(const count_engine& engine, std::span<const prime_count_piece> pieces,
                              std::span<const std::size_t> todo,
                              const std::function<void(std::size_t, const prime_count_sums&)>& piece_done,
                              const std::function<void(double)>& progress, std::stop_token stop);

}  // namespace roughpi::tools

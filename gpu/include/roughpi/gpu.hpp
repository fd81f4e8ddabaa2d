// SPDX-License-Identifier: MIT
// pi(x) on an NVIDIA GPU: the pieces of a count (pieces.hpp) counted on a
// CUDA device. In the library roughpi_gpu, which counts on a device only in a
// build configured with -DROUGHPI_CUDA=ON (doc/building.md); in any other
// build every count here throws gpu_unavailable.
//
// The device does the whole count of each piece: the host hands out pieces,
// the device walks each piece's tuples down to its pair loops and counts the
// loops in chunks of a fixed number of quotients (doc/gpu.md). The sums are
// the same prime_count_sums the CPU makes, with the same fingerprints: a
// piece counted on a device and one counted on a CPU add up, a checkpoint
// can be taken up by either, and every result passes the same proven bounds.
//
//   roughpi::gpu_options options;              // device 0
//   std::int64_t pi = roughpi::prime_count_gpu(1'000'000'000'000'000'000, options);
#pragma once

#include <roughpi/pieces.hpp>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <stdexcept>
#include <stop_token>
#include <string>

namespace roughpi {

// Thrown when there is no device to count on: a build without CUDA, no
// device, no driver or one too old for the build's CUDA runtime, a device
// the build has no code for, or one without the memory a count takes. The
// message names what is missing: "roughpi: no CUDA device: " and the reason,
// e.g. "roughpi: no CUDA device: this build has no CUDA (...)". Nothing has
// been counted when it is thrown.
class gpu_unavailable : public std::runtime_error {
public:
    explicit gpu_unavailable(const std::string& what_is_missing);
    ~gpu_unavailable() override;
};

struct gpu_options {
    // The CUDA device to count on, 0 for the first.
    int device = 0;
    // Count on no device, but through the host emulation of the device's
    // code: the same grids, every block of them run on the calling thread,
    // in order. Slow (one core, no vector paths); for tests, and for
    // checking the device's logic where there is no device. Needs a build
    // with CUDA all the same.
    bool emulate = false;
    // As in parallel_options: if set, called on the calling thread about ten
    // times a second, and once at the end with 1, with the estimated share
    // of the work done.
    std::function<void(double share_done)> progress;
    // As in parallel_options: if set, called on the calling thread for each
    // finished piece, with its index in the list of pieces counted and its
    // own sums. When it throws, the count stops and the exception reaches
    // the caller.
    std::function<void(std::size_t index, const prime_count_sums& piece_sums)> piece_done;
    // A stop request ends the device's work within milliseconds (the
    // threads of the count kernel look at it as they start their stretch of
    // quotients) and the call throws roughpi::cancelled, with no number; the
    // pieces finished before have reached piece_done.
    std::stop_token stop;
};

// pi(x) on the device. Throws gpu_unavailable when there is none to count
// on, cancelled when options.stop is requested, and internal_error when the
// device fails during the count or the result is outside the proven bounds.
std::int64_t prime_count_gpu(std::int64_t x, const gpu_options& options = {});

// Counts `pieces`, all of one count, on the device and adds them to `sums`.
// Throws input_error, before anything is counted, as prime_count_add_piece
// does for any of them (a piece not made by this process, of another count
// than the sums', given twice or held by the sums already); otherwise as
// prime_count_gpu. Only a count that finishes changes sums.
void count_pieces_gpu(std::span<const prime_count_piece> pieces, prime_count_sums& sums,
                      const gpu_options& options = {});

// A CUDA device, as count_gpu_device describes it.
struct gpu_device {
    int number = 0;
    std::string name;  // e.g. "NVIDIA H100 80GB HBM3"
    int major = 0;     // compute capability, e.g. 9.0
    int minor = 0;
    int multiprocessors = 0;
    std::size_t memory = 0;       // bytes of global memory
    std::size_t memory_used = 0;  // the most a count takes of it
};

// The device a count with these options would run on, opened as a count
// opens it (memory included). Throws gpu_unavailable as the count would.
gpu_device count_gpu_device(const gpu_options& options = {});

// The CUDA devices this process can count on: 0 where there are none, no
// driver, or no CUDA in the build. Never throws.
int gpu_device_count() noexcept;

// The most device memory a count takes, whatever x is: the buffers of its
// rounds, sized for the most pieces a count keeps in hand at once (0 in a
// build without CUDA).
std::size_t gpu_memory_bound();

}  // namespace roughpi

// SPDX-License-Identifier: MIT
// The device a count runs on, as the rounds (piece_rounds.hpp) see it: the
// memory of a round laid out for a number of slots, the kernels of
// gpu/device/round.hpp launched over grids, and copies both ways. There are
// two: the CUDA device (cuda_device.cu), and the host emulation
// (emulated_device.cpp), which runs every block of every grid on the calling
// thread, one after another, with the same functions.
#pragma once

#include "round.hpp"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace roughpi::gpu {

// The most pieces a count keeps in hand (slots): a count of more pieces
// starts a piece in a slot as another finishes.
inline constexpr std::int64_t MAX_SLOTS = 4096;
// Runs per slot the memory has room for; a round lets each slot that walks
// hand out its share of them, at most MAX_CAPACITY.
inline constexpr std::int64_t RUNS_PER_SLOT = 16;
inline constexpr std::int64_t MAX_CAPACITY = 1024;

// How much of each buffer a count with `slots` slots takes, and the bytes of
// it all.
struct memory_plan {
    std::int64_t slots;
    std::int64_t runs;     // slots * RUNS_PER_SLOT
    std::int64_t records;  // runs * LEAVES_PER_RUN
    std::int64_t groups;   // runs / RUNS_PER_GROUP, rounded up

    explicit memory_plan(std::int64_t slot_count);
    std::size_t bytes() const;
};

// A grid: `blocks` blocks of `threads` threads, of which the first `lanes`
// work (the rest of the last block has nothing to do).
struct grid {
    std::int64_t blocks;
    std::int32_t threads;
    std::int64_t lanes;
};

// The grid of a kernel over `lanes` lanes (threads that work): the one code
// that lays out every grid, for the device and its emulation alike.
grid grid_of(kernel k, std::int64_t lanes);

// The dynamic shared memory of the count kernel: the two wheel tables, the
// gaps after the prefix counts at an even offset.
inline constexpr std::size_t PREFIX_BYTES = (MODULUS + 1) * sizeof(std::uint16_t) + 2;
inline constexpr std::size_t TABLE_BYTES = PREFIX_BYTES + RESIDUES;

class device {
public:
    device() = default;
    device(const device&) = delete;
    device& operator=(const device&) = delete;
    virtual ~device() = default;

    // The memory of a round, its pointers the device's; a round sets lanes
    // and capacity, and the kernels take it as it is when launched.
    virtual round_memory& memory() = 0;
    virtual const memory_plan& plan() const = 0;
    virtual void to_device(void* destination, const void* source, std::size_t bytes) = 0;
    virtual void from_device(void* destination, const void* source, std::size_t bytes) = 0;
    virtual void launch(kernel k, const grid& g) = 0;
    // From any thread: the count kernel's threads that start from now on end
    // at once (those under way finish their stretch of quotients).
    virtual void stop() = 0;
};

// Device `number`, with memory for `slots` slots and the wheel tables copied
// in. Throws gpu_unavailable when it is missing or cannot take the count.
std::unique_ptr<device> open_cuda_device(int number, std::int64_t slots);
// The host emulation, with memory for `slots` slots.
std::unique_ptr<device> open_emulated_device(std::int64_t slots);

// What count_gpu_device reports of device `number` (cuda_device.cu).
struct device_description {
    std::string name;
    int major = 0;
    int minor = 0;
    int multiprocessors = 0;
    std::size_t memory = 0;
};
device_description describe_cuda_device(int number);

}  // namespace roughpi::gpu

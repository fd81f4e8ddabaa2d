// SPDX-License-Identifier: MIT
// pi(x) and the n-th prime with their count kept in a checkpoint file
// (checkpoint.hpp): the pieces saved as they are done, and those the file
// holds already taken from it, so that a count stopped is taken up again
// where it stood.
#pragma once

#include <roughpi/tools/count_engine.hpp>
#include <roughpi/tools/siphash.hpp>

#include <cstdint>
#include <functional>
#include <stop_token>
#include <string>

namespace roughpi::tools {

struct checkpointed_options {
    std::string file;           // the checkpoint file
    siphash_key key;            // that signs it
    count_engine engine;        // where the pieces are counted (the threads of the sieve too)
    bool double_check = false;  // and a second count, from the other split
    std::stop_token stop;
};

// pi(x) from the file and the pieces it lacks. With a double check, the
// second count is made afresh, from the other split, on the CPU, whatever
// the file holds. progress, if set, gets the share of the count done.
std::int64_t prime_count_with_checkpoint(std::int64_t x, const checkpointed_options& options,
                                         const std::function<void(double)>& progress);

// p_n: the count at the estimate (nth_prime_estimate) as above, then the
// sieve from there (nth_prime_from_count). progress, if set, gets the share
// done, the count taking NTH_PRIME_COUNT_SHARE of it as in nth_prime_parallel.
std::int64_t nth_prime_with_checkpoint(std::int64_t n, const checkpointed_options& options,
                                       const std::function<void(double)>& progress);

}  // namespace roughpi::tools

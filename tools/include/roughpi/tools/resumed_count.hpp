// SPDX-License-Identifier: MIT
// A count taken up from its checkpoint file.
#pragma once

#include <roughpi/tools/checkpoint.hpp>
#include <roughpi/tools/count_engine.hpp>

#include <cstdint>
#include <functional>
#include <stop_token>

namespace roughpi::tools {

// pi(x) from the pieces the file holds and those it lacks, which are counted
// by `engine` (on threads, or on a CUDA device) and each recorded as it is
// done; what was recorded reaches the disk about ten times a second.
// progress, if set, gets the share of the whole count done, the file's
// share included. When `stop` is requested, the pieces in hand are dropped,
// the file synced with every piece finished, and roughpi::cancelled thrown.
std::int64_t count_the_rest(checkpoint& file, const count_engine& engine, const std::function<void(double)>& progress,
                            std::stop_token stop = {});

}  // namespace roughpi::tools

// SPDX-License-Identifier: MIT
#include "refusals.hpp"

#include <roughpi/error.hpp>
#include <roughpi/gpu.hpp>

namespace roughpi::gpu {

void refuse(const std::string& message) { throw input_error(MESSAGE_PREFIX + message); }

void unavailable(const std::string& what_is_missing) { throw gpu_unavailable(what_is_missing); }

void fail(const std::string& message)
{
    throw internal_error(std::string(MESSAGE_PREFIX) + "internal error: " + message);
}

}  // namespace roughpi::gpu

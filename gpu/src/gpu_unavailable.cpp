// SPDX-License-Identifier: MIT
// The one exception of roughpi_gpu's own, in every build: with CUDA or
// without, a program catches it the same way.
#include <roughpi/error.hpp>
#include <roughpi/gpu.hpp>

namespace roughpi {

gpu_unavailable::gpu_unavailable(const std::string& what_is_missing)
    : std::runtime_error(std::string(MESSAGE_PREFIX) + "no CUDA device: " + what_is_missing)
{
}

// Out of line, so that the class's virtual table lives here alone.
gpu_unavailable::~gpu_unavailable() = default;

}  // namespace roughpi

// SPDX-License-Identifier: MIT
// How roughpi_gpu says no, with the library's message prefix added in this
// one place: a call that cannot be answered (input_error), no device to
// count on (gpu_unavailable), and a device that failed (internal_error).
#pragma once

#include <string>

namespace roughpi::gpu {

[[noreturn]] void refuse(const std::string& message);
[[noreturn]] void unavailable(const std::string& what_is_missing);
[[noreturn]] void fail(const std::string& message);

}  // namespace roughpi::gpu

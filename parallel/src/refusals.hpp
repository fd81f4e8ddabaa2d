// SPDX-License-Identifier: MIT
// How roughpi_parallel refuses a call, or a result: the exceptions of
// roughpi/error.hpp with their messages prefixed here alone, as the core's
// are in its refusal.cpp. (The parallel library may allocate, so its
// messages are strings.)
#pragma once

#include <string>

namespace roughpi::detail {

// Throws input_error with "roughpi: " and `what`.
[[noreturn]] void refuse(const std::string& what);

// Throws internal_error with "roughpi: internal error: " and `what`.
[[noreturn]] void fail_internally(const std::string& what);

}  // namespace roughpi::detail

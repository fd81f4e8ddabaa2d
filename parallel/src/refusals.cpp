// SPDX-License-Identifier: MIT
#include "refusals.hpp"

#include <roughpi/error.hpp>

namespace roughpi::detail {

void refuse(const std::string& what) { throw input_error(MESSAGE_PREFIX + what); }

void fail_internally(const std::string& what) { throw internal_error(MESSAGE_PREFIX + ("internal error: " + what)); }

}  // namespace roughpi::detail

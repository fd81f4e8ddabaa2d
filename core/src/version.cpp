// SPDX-License-Identifier: MIT
#include <roughpi/version.hpp>

namespace roughpi {

const char* version() noexcept { return ROUGHPI_VERSION; }

}  // namespace roughpi

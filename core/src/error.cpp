// SPDX-License-Identifier: MIT
#include <roughpi/error.hpp>

namespace roughpi {

// Out of line, so that the classes' virtual tables and their deleting
// destructors (the library's one reference to operator delete) live here alone.
input_error::~input_error() = default;
internal_error::~internal_error() = default;

cancelled::cancelled()
    : std::runtime_error("roughpi: the count was cancelled")
{
}
cancelled::~cancelled() = default;

}  // namespace roughpi

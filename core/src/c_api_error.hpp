// The error text of the C interface (roughpi.h), shared by the two libraries
// that implement it: roughpi keeps the text, one buffer per thread, and
// roughpi_parallel records its own errors there too. Not part of the
// interface: roughpi_parallel is its one caller.
#pragma once

#include <roughpi/export.hpp>

extern "C" {

// Makes `message` the text that roughpi_last_error() returns on this thread:
// "" (or a null pointer) clears it, anything else is prefixed "roughpi: "
// unless it starts so already. Text beyond the buffer is cut off.
ROUGHPI_API void roughpi_internal_set_last_error(const char* message) noexcept;

}

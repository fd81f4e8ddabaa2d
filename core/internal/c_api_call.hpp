// SPDX-License-Identifier: MIT
// How the C interfaces of roughpi and roughpi_parallel turn a C++ call into
// a C one: its value, or -1 and the exception's message as the text that
// roughpi_last_error() returns. The text is kept by roughpi, one buffer per
// thread, and roughpi_parallel records its errors there too: this header is
// what the two libraries share of it (target roughpi_c_api_support; not
// installed, not part of the interface).
#pragma once

#include <roughpi/error.hpp>
#include <roughpi/export.hpp>

#include <cstdint>
#include <exception>

extern "C" {

// Makes `message` the text that roughpi_last_error() returns on this thread:
// "" (or a null pointer) clears it, anything else is prefixed "roughpi: "
// unless it starts so already. Text beyond the buffer is cut off.
ROUGHPI_API void roughpi_internal_set_last_error(const char* message) noexcept;
}

namespace roughpi::detail {

// count()'s value with the error text cleared, or -1 with the text of what
// it threw (-2 when the count was cancelled).
template <typename Count>
std::int64_t c_api_call(Count&& count) noexcept
{
    try {
        const std::int64_t value = count();
        roughpi_internal_set_last_error(nullptr);
        return value;
    } catch (const roughpi::cancelled& stopped) {
        roughpi_internal_set_last_error(stopped.what());
        return -2;
    } catch (const std::exception& error) {
        roughpi_internal_set_last_error(error.what());
    } catch (...) {
        roughpi_internal_set_last_error("unexpected error");
    }
    return -1;
}

}  // namespace roughpi::detail

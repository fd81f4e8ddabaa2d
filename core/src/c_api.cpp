// SPDX-License-Identifier: MIT
// The C interface (roughpi/core.h) of the counting core. Each call turns whatever
// the C++ functions throw into -1 and a message, so that no exception reaches
// C; the message goes into a fixed buffer per thread, and nothing is
// allocated.
#include "c_api_call.hpp"

#include <roughpi/core.h>
#include <roughpi/estimates.hpp>
#include <roughpi/prime_count.hpp>
#include <roughpi/version.hpp>

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace {

// Room for any message the library makes (they are formatted into 256 bytes)
// and a prefix.
constexpr std::size_t MESSAGE_SIZE = 512;

thread_local char last_error[MESSAGE_SIZE] = "";

// Appends text to last_error from `used` on, as far as it fits; returns the new length.
std::size_t append(std::size_t used, const char* text) noexcept
{
    const std::size_t length = std::strlen(text);
    const std::size_t room = MESSAGE_SIZE - 1 - used;
    const std::size_t copied = length < room ? length : room;
    std::memcpy(last_error + used, text, copied);
    last_error[used + copied] = '\0';
    return used + copied;
}

}  // namespace

extern "C" {

void roughpi_internal_set_last_error(const char* message) noexcept
{
    const char* const prefix = roughpi::MESSAGE_PREFIX;
    std::size_t used = 0;
    last_error[0] = '\0';
    if (message == nullptr || message[0] == '\0')
        return;
    if (std::strncmp(message, prefix, sizeof(roughpi::MESSAGE_PREFIX) - 1) != 0)
        used = append(used, prefix);
    append(used, message);
}

int64_t roughpi_pi(int64_t x) noexcept
{
    return roughpi::detail::c_api_call([&] { return roughpi::prime_count(x); });
}

int64_t roughpi_li(int64_t x) noexcept
{
    return roughpi::detail::c_api_call([&] { return roughpi::li(x); });
}

int64_t roughpi_li_inverse(int64_t y) noexcept
{
    return roughpi::detail::c_api_call([&] { return roughpi::li_inverse(y); });
}

int64_t roughpi_offset_li(int64_t x) noexcept
{
    return roughpi::detail::c_api_call([&] { return roughpi::offset_li(x); });
}

int64_t roughpi_offset_li_inverse(int64_t y) noexcept
{
    return roughpi::detail::c_api_call([&] { return roughpi::offset_li_inverse(y); });
}

int64_t roughpi_riemann_r(int64_t x) noexcept
{
    return roughpi::detail::c_api_call([&] { return roughpi::riemann_r(x); });
}

int64_t roughpi_riemann_r_inverse(int64_t y) noexcept
{
    return roughpi::detail::c_api_call([&] { return roughpi::riemann_r_inverse(y); });
}

int64_t roughpi_max_x(void) noexcept { return roughpi::MAX_SUPPORTED_X; }

const char* roughpi_version(void) noexcept { return roughpi::version(); }

const char* roughpi_last_error(void) noexcept { return last_error; }

}  // extern "C"

// SPDX-License-Identifier: MIT
#include "refusal.hpp"

#include <roughpi/error.hpp>

#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace roughpi::detail {

namespace {

// The message: the library's prefix and the kind of message, then the
// formatted text, cut to 256 bytes.
struct message {
    char text[256];

    message(const char* kind, const char* format, std::va_list arguments)
    {
        std::snprintf(text, sizeof(text), "%s%s", MESSAGE_PREFIX, kind);
        const std::size_t used = std::strlen(text);
        std::vsnprintf(text + used, sizeof(text) - used, format, arguments);
    }
};

}  // namespace

void refuse(const char* format, ...)
{
    std::va_list arguments;
    va_start(arguments, format);
    const message m("", format, arguments);
    va_end(arguments);
    throw input_error(m.text);
}

void fail_internally(const char* format, ...)
{
    std::va_list arguments;
    va_start(arguments, format);
    const message m("internal error: ", format, arguments);
    va_end(arguments);
    throw internal_error(m.text);
}

}  // namespace roughpi::detail

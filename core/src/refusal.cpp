#include "refusal.hpp"

#include <roughpi/error.hpp>

#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace roughpi::detail {

void refuse(const char* format, ...)
{
    char message[256] = "roughpi: ";
    const std::size_t prefix = std::strlen(message);
    std::va_list arguments;
    va_start(arguments, format);
    std::vsnprintf(message + prefix, sizeof(message) - prefix, format, arguments);
    va_end(arguments);
    throw input_error(message);
}

}  // namespace roughpi::detail

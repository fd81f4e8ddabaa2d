// SPDX-License-Identifier: MIT
// libFuzzer target: the number parser, on any bytes.
//
// It must never crash or misbehave under the sanitizers, and what it takes
// must be a number it can stand by: within the limit, given again by its
// plain decimal form, and never from text with a leading '-'.
#include <roughpi/tools/parse_count.hpp>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace roughpi::tools;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    for (const std::int64_t limit : {roughpi::MAX_SUPPORTED_X, std::int64_t{1'000'000}}) {
        const parsed_count parsed = parse_count(text, limit);
        if (parsed.status != parse_status::ok) {
            if (parse_error_message(text, parsed.status, limit).empty())
                std::abort();  // every refusal says why
            continue;
        }
        if (parsed.value < 0 || parsed.value > limit || text.starts_with('-'))
            std::abort();
        const parsed_count again = parse_count(std::to_string(parsed.value), limit);
        if (again.status != parse_status::ok || again.value != parsed.value)
            std::abort();
    }
    return 0;
}

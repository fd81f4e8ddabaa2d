// SPDX-License-Identifier: MIT
// How much of an instance's memory its allocator has handed out, for the
// page's and the benchmark's account of the memory a count takes (the rest
// of the linear memory is the stack, the static data with the wheel tables,
// and what the allocator holds free).
#include <emscripten/emscripten.h>

#include <malloc.h>

#include <cstdint>

extern "C" {

EMSCRIPTEN_KEEPALIVE std::uint32_t rpjs_heap_in_use() noexcept
{
    return static_cast<std::uint32_t>(mallinfo().uordblks);
}

}  // extern "C"

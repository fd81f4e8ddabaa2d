// roughpi_pi_threads, the part of the C interface (roughpi/parallel.h) that
// starts threads. Errors, including failures to start a thread or to
// allocate the list of pieces, become -1 and the text that
// roughpi_last_error() returns.
#include "c_api_call.hpp"

#include <roughpi/parallel.h>
#include <roughpi/parallel.hpp>

extern "C" int64_t roughpi_pi_threads(int64_t x, int threads) noexcept
{
    return roughpi::detail::c_api_call([&] { return roughpi::prime_count_parallel(x, threads); });
}

// roughpi_pi_threads, the part of the C interface (roughpi.h) that starts
// threads. Errors, including failures to start a thread or to allocate the
// list of pieces, become -1 and the text that roughpi_last_error() returns.
#include "c_api_error.hpp"

#include <roughpi.h>
#include <roughpi/parallel.hpp>

#include <cstdint>
#include <exception>

extern "C" int64_t roughpi_pi_threads(int64_t x, int threads) noexcept
{
    try {
        const std::int64_t pi = roughpi::prime_count_parallel(x, threads);
        roughpi_internal_set_last_error(nullptr);
        return pi;
    } catch (const std::exception& error) {
        roughpi_internal_set_last_error(error.what());
    } catch (...) {
        roughpi_internal_set_last_error("unexpected error");
    }
    return -1;
}

// SPDX-License-Identifier: MIT
// The n-th prime's last step for the JavaScript package: from pi(x) at the
// estimate x, counted piece by piece on the workers (split_count.cpp), the
// sieve of the stretch between x and p_n, on the one worker that runs it,
// with its progress handed to JavaScript as it goes.
#include "c_api_call.hpp"

#include <roughpi/estimates.hpp>
#include <roughpi/nth_prime.hpp>

#include <emscripten/emscripten.h>

#include <cstdint>

// Calls the instance's onProgress(share) where the JavaScript side gave one.
EM_JS(void, rpjs_report_progress, (double share), {
    if (Module["onProgress"])
        Module["onProgress"](share);
});

extern "C" {

// x = R^-1(n), where the count of the n-th prime is made (the same on every
// machine); -1 for n out of range.
EMSCRIPTEN_KEEPALIVE std::int64_t rpjs_nth_prime_estimate(std::int64_t n) noexcept
{
    return roughpi::detail::c_api_call([&] { return roughpi::nth_prime_estimate(n); });
}

// p_n from pi(x) = pi_x, on this thread; -1 with the reason in
// roughpi_last_error() when the library refuses.
EMSCRIPTEN_KEEPALIVE std::int64_t rpjs_nth_prime_from_count(std::int64_t n, std::int64_t x, std::int64_t pi_x) noexcept
{
    return roughpi::detail::c_api_call([&] {
        roughpi::parallel_options options;
        options.threads = 1;  // the sieve on this thread: an instance has no threads
        options.progress = [](double share) { rpjs_report_progress(share); };
        return roughpi::nth_prime_from_count(n, x, pi_x, options);
    });
}

}  // extern "C"

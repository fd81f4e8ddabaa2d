// The part of the C interface (roughpi/parallel.h) that starts threads.
// Errors, including failures to start a thread or to allocate the list of
// pieces, become -1 and the text that roughpi_last_error() returns; a
// cancelled count becomes ROUGHPI_CANCELLED.
#include "c_api_call.hpp"

#include <roughpi/nth_prime.hpp>
#include <roughpi/parallel.h>
#include <roughpi/parallel.hpp>

#include <stop_token>

namespace {

// Reads the caller's flag. Another thread writes it, so the read is an atomic
// load where the compiler offers one on a plain int (gcc, clang, MinGW):
// then a writer that stores atomically (C11 atomics, std::atomic_ref,
// __atomic_store_n) is not a data race. A signal handler's store to the int
// is seen either way.
bool flag_set(const volatile int* cancel)
{
#if defined(__GNUC__)
    return __atomic_load_n(cancel, __ATOMIC_RELAXED) != 0;
#else
    return *cancel != 0;
#endif
}

// Options that stop the count when *cancel becomes non-zero: the progress,
// which the count calls about ten times a second on the calling thread,
// looks at it.
struct cancellable_options {
    std::stop_source source;
    roughpi::parallel_options options;

    cancellable_options(int threads, const volatile int* cancel)
    {
        options.threads = threads;
        if (cancel == nullptr)
            return;
        options.stop = source.get_token();
        options.progress = [this, cancel](double) {
            if (flag_set(cancel))
                source.request_stop();
        };
        if (flag_set(cancel))
            source.request_stop();
    }
};

}  // namespace

extern "C" {

int64_t roughpi_pi_threads(int64_t x, int threads) noexcept
{
    return roughpi::detail::c_api_call([&] { return roughpi::prime_count_parallel(x, threads); });
}

int64_t roughpi_nth_prime(int64_t n) noexcept
{
    return roughpi::detail::c_api_call([&] { return roughpi::nth_prime(n); });
}

int64_t roughpi_nth_prime_threads(int64_t n, int threads) noexcept
{
    return roughpi::detail::c_api_call([&] {
        roughpi::parallel_options options;
        options.threads = threads;
        return roughpi::nth_prime_parallel(n, options);
    });
}

int64_t roughpi_pi_cancellable(int64_t x, int threads, const volatile int* cancel) noexcept
{
    return roughpi::detail::c_api_call([&] {
        const cancellable_options o(threads, cancel);
        return roughpi::prime_count_parallel(x, o.options);
    });
}

int64_t roughpi_nth_prime_cancellable(int64_t n, int threads, const volatile int* cancel) noexcept
{
    return roughpi::detail::c_api_call([&] {
        const cancellable_options o(threads, cancel);
        return roughpi::nth_prime_parallel(n, o.options);
    });
}

}  // extern "C"

// SPDX-License-Identifier: MIT
// roughpi-stop-latency: how soon a count stops once asked to. Counts x on
// every thread, asks it to stop at a random moment after `after` seconds, and
// prints the seconds from the request to the end of the count; `tries` times.
// With --sieve it stops the n-th prime's sieve instead, near 2^63, where a
// window of the sieve takes seconds: the sieve alone, from a count made up
// for the purpose (the stop comes long before it could matter).
//
//   roughpi-stop-latency [X [tries [after]]]     (default: 1e18 5 2)
//   roughpi-stop-latency --sieve [tries [after]]
#include <roughpi/roughpi.hpp>
#include <roughpi/tools/parse_count.hpp>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <future>
#include <random>
#include <stop_token>
#include <thread>

namespace {

// The largest n, and where its sieve starts here.
constexpr std::int64_t LARGEST_N = 216'289'611'853'439'384;
constexpr std::int64_t NEAR_THE_TOP = INT64_MAX - 1'000'000'000;

}  // namespace

int main(int argc, char** argv)
{
    // The sieve takes no X: the arguments after --sieve are tries and after.
    const bool sieve = argc > 1 && std::strcmp(argv[1], "--sieve") == 0;
    const auto parsed = roughpi::tools::parse_count(argc > 1 && !sieve ? argv[1] : "1e18");
    if (parsed.status != roughpi::tools::parse_status::ok) {
        std::fprintf(stderr, "roughpi-stop-latency: %s\n",
                     roughpi::tools::parse_error_message(argv[1], parsed.status).c_str());
        return 2;
    }
    const std::int64_t x = parsed.value;
    const int tries = argc > 2 ? std::atoi(argv[2]) : 5;
    const double after = argc > 3 ? std::strtod(argv[3], nullptr) : 2.0;
    std::mt19937_64 rng(std::random_device{}());
    double worst = 0.0;
    for (int t = 0; t < tries; ++t) {
        std::stop_source source;
        roughpi::parallel_options options;
        options.stop = source.get_token();
        auto count = std::async(std::launch::async, [&] {
            return sieve ? roughpi::nth_prime_from_count(LARGEST_N, NEAR_THE_TOP, LARGEST_N - 1'000'000, options)
                         : roughpi::prime_count_parallel(x, options);
        });
        const double delay = after * std::uniform_real_distribution<double>(0.5, 1.5)(rng);
        std::this_thread::sleep_for(std::chrono::duration<double>(delay));
        const auto requested = std::chrono::steady_clock::now();
        source.request_stop();
        bool stopped = false;
        try {
            count.get();
        } catch (const roughpi::cancelled&) {
            stopped = true;
        }
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - requested).count();
        worst = seconds > worst ? seconds : worst;
        if (sieve)
            std::printf("sieve near 2^63, ");
        else
            std::printf("x = %lld, ", static_cast<long long>(x));
        std::printf("stop asked after %.2f s: %s %.3f s later\n", delay, stopped ? "stopped" : "finished", seconds);
        std::fflush(stdout);
    }
    std::printf("worst: %.3f s\n", worst);
    return 0;
}

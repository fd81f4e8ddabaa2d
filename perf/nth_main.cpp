// SPDX-License-Identifier: MIT
// roughpi-nth: the time of the n-th prime against the time of the count of
// pi(p_n), the count it is made of, in the same run: for each n, on one
// thread (nth_prime against prime_count) and on every thread
// (nth_prime_parallel against prime_count_parallel), the two runs
// alternating; then the peak resident memory of the whole program.
//
//   roughpi-nth [N ...]        (default: 1e12 1e14 1e15 1e16)
#include <roughpi/roughpi.hpp>
#include <roughpi/tools/parse_count.hpp>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#if defined(__linux__) || defined(__APPLE__)
#  include <sys/resource.h>
#endif

namespace {

double seconds_of(const std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// The peak resident memory of this process so far, in MB (0 where unknown).
double peak_megabytes()
{
#if defined(__linux__)
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0;  // kilobytes on Linux
#else
    return 0.0;
#endif
}

}  // namespace

int main(int argc, char** argv)
{
    std::vector<std::int64_t> ns;
    for (int i = 1; i < argc; ++i) {
        const auto n = roughpi::tools::parse_count(argv[i], roughpi::MAX_PRIME_INDEX);
        if (n.status != roughpi::tools::parse_status::ok || n.value < 1) {
            std::fprintf(stderr, "roughpi-nth: '%s' is not an n from 1 to %lld\n", argv[i],
                         static_cast<long long>(roughpi::MAX_PRIME_INDEX));
            return 2;
        }
        ns.push_back(n.value);
    }
    if (ns.empty())
        ns = {1'000'000'000'000, 100'000'000'000'000, 1'000'000'000'000'000, 10'000'000'000'000'000};
    const int all = roughpi::usable_cpus();
    std::printf("%-18s %-20s %8s %12s %12s %7s %9s\n", "n", "p_n", "threads", "nth_prime", "pi(p_n)", "ratio",
                "peak RSS");
    for (const std::int64_t n : ns) {
        for (const int threads : {1, all}) {
            roughpi::parallel_options options;
            options.threads = threads;
            auto start = std::chrono::steady_clock::now();
            const std::int64_t p = threads == 1 ? roughpi::nth_prime(n) : roughpi::nth_prime_parallel(n, options);
            const double nth_seconds = seconds_of(start);
            start = std::chrono::steady_clock::now();
            const std::int64_t pi = threads == 1 ? roughpi::prime_count(p) : roughpi::prime_count_parallel(p, options);
            const double pi_seconds = seconds_of(start);
            if (pi != n) {
                std::fprintf(stderr, "roughpi-nth: pi(%lld) = %lld, not %lld\n", static_cast<long long>(p),
                             static_cast<long long>(pi), static_cast<long long>(n));
                return 1;
            }
            std::printf("%-18lld %-20lld %8d %10.3f s %10.3f s %7.3f %6.1f MB\n", static_cast<long long>(n),
                        static_cast<long long>(p), threads, nth_seconds, pi_seconds, nth_seconds / pi_seconds,
                        peak_megabytes());
            std::fflush(stdout);
            if (all == 1)
                break;
        }
    }
    return 0;
}

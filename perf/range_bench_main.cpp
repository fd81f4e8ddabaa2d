// SPDX-License-Identifier: MIT
// roughpi-range-bench: the three ways of counting the primes in [A, A + L]
// (two counts, a sieve of the range, a test of each integer) timed against
// the rule that prime_count_range uses to choose among them
// (roughpi/range.hpp), for A = 10^12, 10^14, 10^16, 10^18 and
// L = 10^3 ... 10^12.
//
//   roughpi-range-bench [--threads N] [--budget SECONDS]
//
// Each way is timed where the rule expects it to take at most the budget
// (default 3 s of one core, scaled down for N threads), and all must give
// the same count where they ran; elsewhere the table shows the rule's
// estimate, marked "~". Times are wall seconds on N threads (default 1),
// estimates seconds of one core divided by N.
#include <roughpi/tools/parse_count.hpp>

#include <roughpi/range.hpp>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

double seconds_of(std::int64_t a, std::int64_t b, int threads, roughpi::range_method method, std::int64_t& count)
{
    roughpi::parallel_options options;
    options.threads = threads;
    const auto start = std::chrono::steady_clock::now();
    count = roughpi::prime_count_range(a, b, options, method);
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

std::string shown(double seconds, bool measured)
{
    char text[32];
    std::snprintf(text, sizeof text, "%s%.3g s", measured ? "" : "~", seconds);
    return text;
}

}  // namespace

int main(int argc, char** argv)
{
    int threads = 1;
    double budget = 3.0;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if ((arg == "--threads" || arg == "--budget") && i + 1 < argc) {
            char* end = nullptr;
            const double value = std::strtod(argv[++i], &end);
            if (*end != '\0' || !(value > 0) ||
                (arg == "--threads" && (value > 4096 || value != static_cast<int>(value)))) {
                std::fprintf(stderr, "roughpi-range-bench: %s '%s' is not a good value\n", arg.c_str(), argv[i]);
                return 2;
            }
            if (arg == "--threads")
                threads = static_cast<int>(value);
            else
                budget = value;
        } else {
            std::fprintf(stderr, "Usage: roughpi-range-bench [--threads N] [--budget SECONDS]\n");
            return 2;
        }
    }
    std::printf("Primes in [A, A + L] on %d thread(s); ~: the rule's estimate, not measured\n\n", threads);
    std::printf("| A | L | primes | two counts | sieve | tests | the rule picks | quickest measured |\n");
    std::printf("|---|---|---|---|---|---|---|---|\n");
    using roughpi::range_method;
    constexpr range_method ways[] = {range_method::counts, range_method::sieve, range_method::tests};
    constexpr const char* names[] = {"counts", "sieve", "tests"};
    bool agree = true;
    for (int a_exp = 12; a_exp <= 18; a_exp += 2) {
        for (int l_exp = 3; l_exp <= 12; ++l_exp) {
            const std::int64_t a = roughpi::tools::parse_count("1e" + std::to_string(a_exp)).value;
            const std::int64_t b = a + roughpi::tools::parse_count("1e" + std::to_string(l_exp)).value;
            const roughpi::range_costs costs = roughpi::prime_count_range_costs(a, b, threads);
            const double estimates[] = {costs.counts / threads, costs.sieve / threads, costs.tests / threads};
            std::string cells;
            std::int64_t primes = -1;
            int quickest = -1;
            double quickest_seconds = 0.0;
            for (int w = 0; w < 3; ++w) {
                const bool timed = estimates[w] <= budget;
                std::int64_t count = -1;
                const double seconds = timed ? seconds_of(a, b, threads, ways[w], count) : estimates[w];
                if (timed && primes >= 0 && count != primes) {
                    std::fprintf(stderr, "roughpi-range-bench: [%lld, %lld]: the %s give %lld, the %s %lld\n",
                                 static_cast<long long>(a), static_cast<long long>(b), names[w],
                                 static_cast<long long>(count), names[quickest], static_cast<long long>(primes));
                    agree = false;
                }
                if (timed && (quickest < 0 || seconds < quickest_seconds)) {
                    quickest = w;
                    quickest_seconds = seconds;
                }
                if (timed)
                    primes = count;
                cells += shown(seconds, timed) + " | ";
            }
            const range_method picked = roughpi::prime_count_range_method(a, b, threads);
            const char* rule = names[picked == range_method::counts ? 0 : picked == range_method::sieve ? 1 : 2];
            std::printf("| 10^%d | 10^%d | %s | %s%s | %s |\n", a_exp, l_exp,
                        primes >= 0 ? std::to_string(primes).c_str() : "", cells.c_str(), rule,
                        quickest >= 0 ? names[quickest] : "");
            std::fflush(stdout);
        }
    }
    return agree ? 0 : 1;
}

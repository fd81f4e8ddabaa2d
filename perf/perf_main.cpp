// SPDX-License-Identifier: MIT
// roughpi-perf: the straightforward counting against the fast one, side by side.
//
//   PrimeCount/<path>/<x>   prime_count(x): reference, and each available path
//   PairLoop/<path>         count_factor_pairs(10^14, 17, 2, 1): ns per range count
//   Peer/<path>/<x>         prime_count(x) for x = 10^12 ... 10^15: each path, and
//                           primecount on one thread, when the build found it
//   Small/<who>/<x>         prime_count(x) (the table) against primecount's pi(x)
//                           for x = 10, 100, 1000, 10^4, and "every" x from 0 to
//                           10^4 in turn (the time per x), when the build found it
//
// After the runs it prints the speed-up of each path over the reference, the
// cycles per range count at the clock measured with dependent instruction
// chains,
// and each path's time over primecount's.
#include "reference/reference_counting.hpp"

#include "support/factor_counts_64.hpp"
#include <roughpi/prime_count.hpp>

#include <benchmark/benchmark.h>

#if defined(ROUGHPI_PERF_PRIMECOUNT)
#  include <primecount.h>
#endif

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace {

constexpr std::int64_t pair_n = 100'000'000'000'000;  // 10^14
constexpr std::int64_t range_counts = 1'918'079;      // rough u in (17, 10^7]

// The paths to time: "reference" and every path this processor runs.
std::vector<std::string> path_names()
{
    std::vector<std::string> names = {"reference"};
    for (const auto path : roughpi::counting_paths())
        if (roughpi::counting_path_available(path))
            names.push_back(roughpi::counting_path_name(path));
    return names;
}

roughpi::counting_path path_by_name(const std::string& name)
{
    for (const auto path : roughpi::counting_paths())
        if (name == roughpi::counting_path_name(path))
            return path;
    return roughpi::counting_path::portable;
}

void prime_count_benchmark(benchmark::State& state, const std::string& name, std::int64_t x)
{
    const bool reference = name == "reference";
    const auto path = path_by_name(name);
    for (auto _ : state)
        benchmark::DoNotOptimize(reference ? roughpi::reference::prime_count(x) : roughpi::prime_count(x, path));
}

void pair_loop_benchmark(benchmark::State& state, const std::string& name)
{
    const bool reference = name == "reference";
    const auto path = path_by_name(name);
    for (auto _ : state)
        benchmark::DoNotOptimize(reference ? roughpi::reference::count_factor_pairs(pair_n, 17, 2, 1)
                                           : roughpi::count_factor_pairs(pair_n, 17, 2, 1, path));
    state.SetItemsProcessed(state.iterations() * range_counts);
}

#if defined(ROUGHPI_PERF_PRIMECOUNT)
// primecount, a prime counter built on other methods, as a peer: the same x
// on one thread, against every path.
constexpr std::int64_t peer_xs[] = {1'000'000'000'000, 10'000'000'000'000, 100'000'000'000'000, 1'000'000'000'000'000};

void peer_benchmark(benchmark::State& state, const std::string& name, std::int64_t x)
{
    const bool peer = name == "primecount";
    const auto path = path_by_name(name);
    for (auto _ : state)
        benchmark::DoNotOptimize(peer ? primecount_pi(x) : roughpi::prime_count(x, path));
}

// Small x, where both answer from tables: x < 0 stands for every x from 0 to
// 10^4, one after the other, timed per x.
constexpr std::int64_t small_xs[] = {10, 100, 1000, 10'000, -1};
constexpr std::int64_t small_sweep = 10'000;

void small_benchmark(benchmark::State& state, bool peer, std::int64_t x)
{
    const auto pi = [peer](std::int64_t y) { return peer ? primecount_pi(y) : roughpi::prime_count(y); };
    for (auto _ : state) {
        if (x >= 0) {
            benchmark::DoNotOptimize(pi(x));
            continue;
        }
        for (std::int64_t y = 0; y <= small_sweep; ++y)
            benchmark::DoNotOptimize(pi(y));
    }
    if (x < 0)
        state.SetItemsProcessed(state.iterations() * (small_sweep + 1));
}

std::string small_name(bool peer, std::int64_t x)
{
    return std::string("Small/") + (peer ? "primecount/" : "roughpi/") + (x < 0 ? "every" : std::to_string(x));
}
#endif

// Seconds per iteration of each run, by name.
class recording_reporter : public benchmark::ConsoleReporter {
public:
    std::map<std::string, double> seconds;
    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const Run& run : runs)
            if (run.run_type == Run::RT_Iteration && run.iterations > 0)
                seconds[run.run_name.function_name] = run.real_accumulated_time / static_cast<double>(run.iterations);
        ConsoleReporter::ReportRuns(runs);
    }
};

// Cycles per second, from two chains of dependent instructions: additions of
// a register (one cycle each) and multiplications (three cycles each, on
// every x86-64 core of the last fifteen years). An addition of a constant
// would not do: recent Intel cores fold chains of those at renaming, and
// such a chain gave "18.96 GHz" on a 2.8 GHz Xeon. Where the two chains
// disagree by more than a tenth, something else folds or throttles them,
// and no estimate is given (0).
double estimate_clock_hz()
{
#if defined(__x86_64__) && defined(__GNUC__)
    const auto hz_of = [](auto chain, double cycles) {
        const auto start = std::chrono::steady_clock::now();
        chain();
        const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
        return cycles / elapsed.count();
    };
    const std::uint64_t steps = 400'000'000;
    const double adds = hz_of(
        [&] {
            std::uint64_t v = 0;
            const std::uint64_t one = 1;
            for (std::uint64_t i = 0; i < steps; i += 8)
                asm volatile("add %1, %0\n\tadd %1, %0\n\tadd %1, %0\n\tadd %1, %0\n\t"
                             "add %1, %0\n\tadd %1, %0\n\tadd %1, %0\n\tadd %1, %0"
                             : "+r"(v)
                             : "r"(one));
        },
        static_cast<double>(steps));
    const double multiplies = hz_of(
        [&] {
            std::uint64_t v = 3;
            for (std::uint64_t i = 0; i < steps / 3; i += 8)
                asm volatile("imul %0, %0\n\timul %0, %0\n\timul %0, %0\n\timul %0, %0\n\t"
                             "imul %0, %0\n\timul %0, %0\n\timul %0, %0\n\timul %0, %0"
                             : "+r"(v));
        },
        static_cast<double>(steps / 3 / 8 * 8) * 3);
    return std::abs(adds - multiplies) <= 0.1 * std::max(adds, multiplies) ? 0.5 * (adds + multiplies) : 0.0;
#else
    return 0.0;
#endif
}

}  // namespace

int main(int argc, char** argv)
{
    roughpi::build_wheel_tables();
    const auto names = path_names();
    const std::int64_t xs[] = {100'000'000'000, 1'000'000'000'000, 10'000'000'000'000};
    for (std::int64_t x : xs)
        for (const auto& name : names)
            benchmark::RegisterBenchmark(("PrimeCount/" + name + "/" + std::to_string(x)).c_str(),
                                         prime_count_benchmark, name, x)
                ->Unit(benchmark::kMillisecond)
                ->MinTime(x >= 10'000'000'000'000 ? 2.0 : 0.5);
    for (const auto& name : names)
        benchmark::RegisterBenchmark(("PairLoop/" + name).c_str(), pair_loop_benchmark, name)
            ->Unit(benchmark::kMillisecond);

#if defined(ROUGHPI_PERF_PRIMECOUNT)
    primecount_set_num_threads(1);
    std::vector<std::string> peer_names = {"primecount"};
    peer_names.insert(peer_names.end(), names.begin() + 1, names.end());
    for (std::int64_t x : peer_xs)
        for (const auto& name : peer_names)
            benchmark::RegisterBenchmark(("Peer/" + name + "/" + std::to_string(x)).c_str(), peer_benchmark, name, x)
                ->Unit(benchmark::kMillisecond)
                ->MinTime(x >= 100'000'000'000'000 ? 0.1 : 0.5);
    for (std::int64_t x : small_xs)
        for (const bool peer : {true, false})
            benchmark::RegisterBenchmark(small_name(peer, x).c_str(), small_benchmark, peer, x)
                ->Unit(x < 0 ? benchmark::kMicrosecond : benchmark::kNanosecond);
#endif

    benchmark::Initialize(&argc, argv);
    recording_reporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    const double hz = estimate_clock_hz();
    std::printf("\nSpeed-up over the reference (same run):\n");
    for (const auto& name : names) {
        if (name == "reference")
            continue;
        for (std::int64_t x : xs) {
            const auto ref = reporter.seconds.find("PrimeCount/reference/" + std::to_string(x));
            const auto fast = reporter.seconds.find("PrimeCount/" + name + "/" + std::to_string(x));
            if (ref != reporter.seconds.end() && fast != reporter.seconds.end())
                std::printf("  prime_count(%lld) %-9s %6.2fx  (%.1f ms -> %.1f ms)\n", static_cast<long long>(x),
                            name.c_str(), ref->second / fast->second, ref->second * 1e3, fast->second * 1e3);
        }
    }
    std::printf("\nPair loop at n = 10^14, per range count:\n");
    if (hz > 0)
        std::printf("  (clock estimated at %.2f GHz from chains of dependent adds and multiplies)\n", hz / 1e9);
    else
        std::printf("  (clock not estimated: the chains of adds and of multiplies disagree)\n");
    const auto ref = reporter.seconds.find("PairLoop/reference");
    for (const auto& name : names) {
        const auto it = reporter.seconds.find("PairLoop/" + name);
        if (it == reporter.seconds.end())
            continue;
        const double ns = it->second / range_counts * 1e9;
        std::printf("  %-9s %6.3f ns", name.c_str(), ns);
        if (hz > 0)
            std::printf("  %5.2f cycles", ns * hz / 1e9);
        if (ref != reporter.seconds.end())
            std::printf("  %6.2fx", ref->second / it->second);
        std::printf("\n");
    }

#if defined(ROUGHPI_PERF_PRIMECOUNT)
    std::printf("\nAgainst primecount %s on one thread: each time, and ours over primecount's (same run):\n",
                primecount_version());
    std::printf("  %-7s %13s", "x", "primecount");
    for (const auto& name : peer_names)
        if (name != "primecount")
            std::printf("  %20s", name.c_str());
    std::printf("\n");
    for (std::int64_t x : peer_xs) {
        const auto peer = reporter.seconds.find("Peer/primecount/" + std::to_string(x));
        if (peer == reporter.seconds.end())
            continue;
        std::printf("  10^%-4.0f %10.1f ms", std::log10(static_cast<double>(x)), peer->second * 1e3);
        for (const auto& name : peer_names) {
            const auto ours = reporter.seconds.find("Peer/" + name + "/" + std::to_string(x));
            if (name != "primecount" && ours != reporter.seconds.end())
                std::printf("  %10.1f ms %6.2fx", ours->second * 1e3, ours->second / peer->second);
        }
        std::printf("\n");
    }
    std::printf("\nSmall x, prime_count(x) against primecount's pi(x) (same run):\n");
    for (std::int64_t x : small_xs) {
        const auto peer = reporter.seconds.find(small_name(true, x));
        const auto ours = reporter.seconds.find(small_name(false, x));
        if (peer == reporter.seconds.end() || ours == reporter.seconds.end())
            continue;
        const double per_x = x < 0 ? 1.0 / static_cast<double>(small_sweep + 1) : 1.0;
        std::printf("  %-26s %7.2f ns  primecount %7.2f ns  %5.2fx\n",
                    x < 0 ? "every x from 0 to 10^4" : ("x = " + std::to_string(x)).c_str(), ours->second * per_x * 1e9,
                    peer->second * per_x * 1e9, ours->second / peer->second);
    }
#endif
    return 0;
}

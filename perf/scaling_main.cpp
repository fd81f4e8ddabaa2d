// SPDX-License-Identifier: MIT
// roughpi-scaling X [X ...]: how well the count of X shares out among workers.
//
// It times every piece of the count on one thread, then plays the parallel
// count's scheduler (workers take the next piece, largest estimate first) on
// those measured times for 1, 2, 4, ... 1024 workers, and prints the makespan
// and efficiency each would reach. It also shows how good the estimates are
// (the largest piece, the spread of measured over estimated work, how far the
// progress the estimates drive strays from the elapsed time), and measures the
// wall time of the count with one thread and with every thread, in the same run.
#include <roughpi/roughpi.hpp>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <queue>
#include <string>
#include <thread>
#include <vector>

namespace {

using clock_type = std::chrono::steady_clock;

double seconds_since(clock_type::time_point start)
{
    return std::chrono::duration<double>(clock_type::now() - start).count();
}

struct schedule {
    double makespan = 0.0;
    double worst_progress_gap = 0.0;  // largest |shown share - elapsed share|, at the finish of a piece
};

// The parallel count's scheduler on known piece times: `order` is the order
// the pieces are handed out in, and each of `workers` takes the next one as
// soon as it is free. The progress shown is the estimated cost done over the
// total, against the elapsed share of the makespan.
schedule play(const std::vector<std::size_t>& order, const std::vector<double>& time, const std::vector<double>& cost,
              int workers)
{
    std::priority_queue<double, std::vector<double>, std::greater<>> free_at;
    for (int w = 0; w < workers; ++w)
        free_at.push(0.0);
    std::vector<std::pair<double, double>> finishes;  // (time, cost) of each piece's end
    finishes.reserve(order.size());
    double total_cost = 0.0;
    for (const std::size_t i : order) {
        const double start = free_at.top();
        free_at.pop();
        free_at.push(start + time[i]);
        finishes.emplace_back(start + time[i], cost[i]);
        total_cost += cost[i];
    }
    schedule s;
    for (const auto& f : finishes)
        s.makespan = std::max(s.makespan, f.first);
    std::sort(finishes.begin(), finishes.end());
    double done = 0.0;
    for (const auto& [t, c] : finishes) {
        // Just before and just after each finish.
        s.worst_progress_gap = std::max(s.worst_progress_gap, std::abs(done / total_cost - t / s.makespan));
        done += c;
        s.worst_progress_gap = std::max(s.worst_progress_gap, std::abs(done / total_cost - t / s.makespan));
    }
    return s;
}

void report(std::int64_t x)
{
    std::printf("x = %lld\n", static_cast<long long>(x));
    roughpi::build_wheel_tables();

    auto start = clock_type::now();
    const std::vector<roughpi::prime_count_piece> pieces = roughpi::prime_count_piece_list(x);
    const double split_seconds = seconds_since(start);

    // Every piece on this thread, in list order.
    std::vector<double> time(pieces.size());
    std::vector<double> cost(pieces.size());
    roughpi::prime_count_sums sums;
    double total_time = 0.0;
    double total_cost = 0.0;
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        start = clock_type::now();
        roughpi::prime_count_add_piece(pieces[i], sums);
        time[i] = seconds_since(start);
        cost[i] = pieces[i].cost();
        total_time += time[i];
        total_cost += cost[i];
    }
    const std::int64_t pi = roughpi::prime_count_from_sums(sums);
    const auto largest_time = std::max_element(time.begin(), time.end());
    const auto largest_cost = std::max_element(cost.begin(), cost.end());
    std::printf("pi(x) = %lld, %zu pieces, split in %.1f ms, pieces counted one by one in %.3f s\n",
                static_cast<long long>(pi), pieces.size(), split_seconds * 1e3, total_time);
    std::printf("largest piece: %.4f %% of the time (piece %zu); largest estimate: %.4f %% of the estimates\n",
                100.0 * *largest_time / total_time, static_cast<std::size_t>(largest_time - time.begin()),
                100.0 * *largest_cost / total_cost);

    // Measured share over estimated share, weighted by time: how far off the
    // estimates are where the time goes.
    std::vector<std::pair<double, double>> ratio;  // (measured / estimated share, time)
    for (std::size_t i = 0; i < pieces.size(); ++i)
        ratio.emplace_back((time[i] / total_time) / (cost[i] / total_cost), time[i]);
    std::sort(ratio.begin(), ratio.end());
    const auto quantile = [&](double q) {
        double seen = 0.0;
        for (const auto& [r, t] : ratio)
            if ((seen += t) >= q * total_time)
                return r;
        return ratio.back().first;
    };
    std::printf(
        "measured / estimated work, over the time: 5 %% %.2f, 25 %% %.2f, median %.2f, 75 %% %.2f, 95 %% %.2f\n",
        quantile(0.05), quantile(0.25), quantile(0.5), quantile(0.75), quantile(0.95));

    // The scheduler on those times.
    std::vector<std::size_t> order(pieces.size());
    for (std::size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) { return cost[a] > cost[b]; });
    std::printf("\n%8s %14s %11s %16s\n", "workers", "makespan (s)", "efficiency", "progress gap");
    for (int workers = 1; workers <= 1024; workers *= 2) {
        const schedule s = play(order, time, cost, workers);
        std::printf("%8d %14.4f %10.1f%% %15.1f%%\n", workers, s.makespan, 100.0 * total_time / (workers * s.makespan),
                    100.0 * s.worst_progress_gap);
    }

    // The real thing, one thread and every thread, one after the other.
    const int threads = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    start = clock_type::now();
    const std::int64_t one = roughpi::prime_count(x);
    const double one_seconds = seconds_since(start);
    start = clock_type::now();
    const std::int64_t all = roughpi::prime_count_parallel(x, threads);
    const double all_seconds = seconds_since(start);
    std::printf("\nwall time: 1 thread %.3f s, %d threads %.3f s (%.2fx)%s\n\n", one_seconds, threads, all_seconds,
                one_seconds / all_seconds, one == pi && all == pi ? "" : "  COUNTS DIFFER");
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fputs("Usage: roughpi-scaling X [X ...]   (X a plain integer or e-notation, e.g. 1e15)\n", stderr);
        return 2;
    }
    try {
        for (int i = 1; i < argc; ++i) {
            char* end = nullptr;
            const double value = std::strtod(argv[i], &end);
            if (*end != '\0' || !(value >= 0.0) || value > 9.2e18) {
                std::fprintf(stderr, "roughpi-scaling: '%s' is not a number up to 9.2e18\n", argv[i]);
                return 2;
            }
            report(static_cast<std::int64_t>(value));
        }
    } catch (const std::exception& error) {
        std::fprintf(stderr, "roughpi-scaling: %s\n", error.what());
        return 1;
    }
    return 0;
}

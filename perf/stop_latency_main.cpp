// roughpi-stop-latency: how soon a count stops once asked to. Counts x on
// every thread, asks it to stop at a random moment after `after` seconds, and
// prints the seconds from the request to the end of the count; `tries` times.
//
//   roughpi-stop-latency [X [tries [after]]]     (default: 1e18 5 2)
#include <roughpi/roughpi.hpp>
#include <roughpi/tools/parse_count.hpp>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <future>
#include <random>
#include <stop_token>
#include <thread>

int main(int argc, char** argv)
{
    const auto parsed = roughpi::tools::parse_count(argc > 1 ? argv[1] : "1e18");
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
        auto count = std::async(std::launch::async, [&] { return roughpi::prime_count_parallel(x, options); });
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
        std::printf("x = %lld, stop asked after %.2f s: %s %.3f s later\n", static_cast<long long>(x), delay,
                    stopped ? "stopped" : "finished", seconds);
        std::fflush(stdout);
    }
    std::printf("worst: %.3f s\n", worst);
    return 0;
}

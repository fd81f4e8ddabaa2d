// SPDX-License-Identifier: MIT
#include <roughpi/tools/self_test.hpp>

#include <roughpi/roughpi.hpp>

#include <algorithm>
#include <cmath>
#include <exception>
#include <random>
#include <span>
#include <string>
#include <vector>

namespace roughpi::tools {

namespace {

struct known {
    std::int64_t x;
    const char* name;
    std::int64_t value;
};

// pi(x), from the literature (and every counter agrees).
constexpr known known_counts[] = {
    {10, "10^1", 4},
    {100, "10^2", 25},
    {1'000, "10^3", 168},
    {10'000, "10^4", 1'229},
    {100'000, "10^5", 9'592},
    {1'000'000, "10^6", 78'498},
    {10'000'000, "10^7", 664'579},
    {100'000'000, "10^8", 5'761'455},
    {1'000'000'000, "10^9", 50'847'534},
    {4'294'967'296, "2^32", 203'280'221},
    {10'000'000'000, "10^10", 455'052'511},
    {100'000'000'000, "10^11", 4'118'054'813},
    {1'000'000'000'000, "10^12", 37'607'912'018},
    {1'099'511'627'776, "2^40", 41'203'088'796},
    {10'000'000'000'000, "10^13", 346'065'536'839},
    {100'000'000'000'000, "10^14", 3'204'941'750'802},
};

// p_n for n = 10^k.
constexpr known known_primes[] = {
    {1'000'000, "10^6", 15'485'863},
    {1'000'000'000, "10^9", 22'801'763'489},
    {100'000'000'000, "10^11", 2'760'727'302'517},
};

class checks {
public:
    explicit checks(const std::function<void(const std::string&)>& print)
        : print_(print)
    {
    }

    // One check: `what` computes the value, which must be `expected`.
    template <class F>
    void expect(const std::string& label, std::int64_t expected, F&& what)
    {
        std::string line;
        try {
            const std::int64_t got = what();
            line = got == expected
                ? "ok   " + label + " = " + std::to_string(got)
                : "FAIL " + label + " = " + std::to_string(got) + ", not " + std::to_string(expected);
        } catch (const std::exception& error) {
            line = "FAIL " + label + ": " + error.what();
        }
        report(line);
    }

    void report(const std::string& line)
    {
        if (line.starts_with("FAIL"))
            failures_.push_back(line);
        if (print_)
            print_(line);
    }

    std::vector<std::string> failures() const { return failures_; }

private:
    const std::function<void(const std::string&)>& print_;
    std::vector<std::string> failures_;
};

}  // namespace

std::vector<std::string> run_self_test(self_test_size size, std::uint64_t seed, int threads,
                                       const std::function<void(const std::string&)>& print)
{
    const bool full = size == self_test_size::full;
    checks c(print);
    std::vector<counting_path> paths;
    for (const counting_path path : counting_paths())
        if (counting_path_available(path))
            paths.push_back(path);

    // Stored values on every path; the portable one, several times slower,
    // stops a hundredfold lower.
    const std::int64_t largest = full ? 100'000'000'000'000 : 1'000'000'000;
    for (const counting_path path : paths) {
        const std::int64_t limit = path == counting_path::portable ? largest / 100 : largest;
        for (const known& k : known_counts)
            if (k.x <= limit)
                c.expect(std::string(counting_path_name(path)) + " pi(" + k.name + ")", k.value,
                         [&] { return prime_count(k.x, path); });
    }

    // Random x, log-uniform up to 10^12 (10^8 quick), on every path alike.
    std::mt19937_64 rng(seed);
    std::string names;
    for (const counting_path path : paths)
        names += std::string(names.empty() ? "" : ", ") + counting_path_name(path);
    const double top = std::log(full ? 1e12 : 1e8);
    for (int i = 0; i < (full ? 8 : 4); ++i) {
        const auto x = static_cast<std::int64_t>(std::exp(std::uniform_real_distribution<double>(0, top)(rng)));
        c.expect("pi(" + std::to_string(x) + ") on " + names + " (seed " + std::to_string(seed) + ")",
                 prime_count(x, paths.front()), [&] {
                     std::int64_t value = prime_count(x, paths.front());
                     for (const counting_path path : paths)
                         if (prime_count(x, path) != value)
                             value = -1;  // the paths disagree: fails, as no count is -1
                     return value;
                 });
    }

    // On threads, piece by piece, and put together from the pieces by hand,
    // in reverse order.
    parallel_options options;
    options.threads = threads;
    const known& on_threads = full ? known_counts[14] : known_counts[10];
    c.expect("pi(" + std::string(on_threads.name) + ") on threads", on_threads.value,
             [&] { return prime_count_parallel(on_threads.x, options); });
    const known& in_pieces = full ? known_counts[11] : known_counts[8];
    c.expect("pi(" + std::string(in_pieces.name) + ") from its pieces", in_pieces.value, [&] {
        const std::vector<prime_count_piece> pieces = prime_count_piece_list(in_pieces.x);
        prime_count_sums sums;
        for (auto it = pieces.rbegin(); it != pieces.rend(); ++it)
            prime_count_add_piece(*it, sums);
        return prime_count_from_sums(sums);
    });

    for (const known& k : known_primes)
        if (full || k.x <= 1'000'000)
            c.expect("p_n, n = " + std::string(k.name), k.value, [&] { return nth_prime_parallel(k.x, options); });
    c.expect("li(10^12)", 37'607'950'280, [] { return li(1'000'000'000'000); });
    c.expect("R(10^12)", 37'607'910'542, [] { return riemann_r(1'000'000'000'000); });
    c.expect("li^-1(10^12)", 29'996'219'470'244, [] { return li_inverse(1'000'000'000'000); });

    // Ranges: stored values both ways, and a random range both ways.
    struct stored_range {
        std::int64_t a, b;
        const char* name;
        std::int64_t value;
        bool full_only;
    };
    constexpr stored_range ranges[] = {
        {0, 1'000'000, "[0, 10^6]", 78'498, false},
        {1'000'000'000'000, 1'000'100'000'000, "[10^12, 10^12 + 10^8]", 3'618'282, true},
        {1'000'000'000'000'000'000, 1'000'000'000'010'000'000, "[10^18, 10^18 + 10^7]", 241'295, true},
    };
    c.expect("primes in [2^63 - 1001, 2^63 - 1] by tests", 23,
             [&] { return prime_count_range(MAX_SUPPORTED_X - 1000, MAX_SUPPORTED_X, options, range_method::tests); });
    for (const stored_range& r : ranges) {
        if (r.full_only && !full)
            continue;
        c.expect(std::string("primes in ") + r.name + " by the sieve", r.value,
                 [&] { return prime_count_range(r.a, r.b, options, range_method::sieve); });
        if (r.b <= 10'000'000'000'000)
            c.expect(std::string("primes in ") + r.name + " by two counts", r.value,
                     [&] { return prime_count_range(r.a, r.b, options, range_method::counts); });
    }
    const std::int64_t a = std::uniform_int_distribution<std::int64_t>(0, full ? 100'000'000'000 : 100'000'000)(rng);
    const std::int64_t b = a + std::uniform_int_distribution<std::int64_t>(0, full ? 100'000'000 : 1'000'000)(rng);
    std::int64_t by_counts = -1;
    try {
        by_counts = prime_count_range(a, b, options, range_method::counts);
    } catch (const std::exception&) {  // the check below tells
    }
    c.expect("primes in [" + std::to_string(a) + ", " + std::to_string(b) + "] by the sieve and two counts (seed " +
                 std::to_string(seed) + ")",
             by_counts, [&] { return prime_count_range(a, b, options, range_method::sieve); });
    return c.failures();
}

}  // namespace roughpi::tools

// SPDX-License-Identifier: MIT
// The counting core alone (roughpi::core): one thread, no threads library.
#include <roughpi/prime_count.hpp>
#include <roughpi/version.hpp>

#include <cstdio>

int main()
{
    const std::int64_t pi = roughpi::prime_count(1'000'000'000'000);
    if (pi != 37'607'912'018) {
        std::fprintf(stderr, "consumer_core: FAILED: prime_count(10^12) gave %lld\n", static_cast<long long>(pi));
        return 1;
    }
    std::printf("consumer_core: OK, roughpi %s\n", roughpi::version());
    return 0;
}

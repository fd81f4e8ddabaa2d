// SPDX-License-Identifier: MIT
// Uses the installed C++ interface the way a downstream program does, and
// exits non-zero, saying why, if anything is off. Built by the CMake project
// here, and by .ci/install-check.sh through pkg-config too:
//
//   c++ main.cpp $(pkg-config --cflags --libs roughpi++)
#include <roughpi/roughpi.hpp>

#include <cstdint>
#include <cstdio>
#include <cstring>

namespace {

int failures = 0;

void expect(bool ok, const char* what)
{
    if (!ok) {
        std::fprintf(stderr, "consumer: FAILED: %s\n", what);
        ++failures;
    }
}

}  // namespace

int main(int argc, char** argv)
{
    // The library linked in is the one whose headers were compiled, and the
    // one the package said it was.
    expect(std::strcmp(roughpi::version(), ROUGHPI_VERSION) == 0, "version() == ROUGHPI_VERSION");
    expect(argc < 2 || std::strcmp(roughpi::version(), argv[1]) == 0, "version() == the package's version");

    expect(roughpi::prime_count(10'000'000'000) == 455'052'511, "prime_count(10^10)");
    expect(roughpi::prime_count(1) == 0, "prime_count(1)");
    expect(roughpi::prime_count_parallel(100'000'000'000, 2) == 4'118'054'813, "prime_count_parallel(10^11, 2)");
    expect(roughpi::prime_count_parallel(100'000'000'000) == 4'118'054'813, "prime_count_parallel(10^11)");

    // A refusal arrives as roughpi::input_error, across the library boundary.
    bool refused = false;
    try {
        roughpi::prime_count_parallel(1000, -1);
    } catch (const roughpi::input_error& error) {
        refused = std::strstr(error.what(), "threads") != nullptr;
    }
    expect(refused, "prime_count_parallel(1000, -1) throws input_error");
    refused = false;
    try {
        roughpi::prime_count_sums sums;
        roughpi::prime_count_add_piece(roughpi::prime_count_piece{}, sums);
    } catch (const roughpi::input_error&) {
        refused = true;
    }
    expect(refused, "prime_count_add_piece of a piece no split made throws input_error");
    expect(roughpi::MAX_SUPPORTED_X == INT64_MAX, "MAX_SUPPORTED_X == 2^63 - 1");

    if (failures == 0)
        std::printf("consumer: OK, roughpi %s\n", roughpi::version());
    return failures == 0 ? 0 : 1;
}

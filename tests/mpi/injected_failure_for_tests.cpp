// SPDX-License-Identifier: MIT
// The failure that the tests' build of roughpi-mpi (roughpi-mpi-failing)
// injects: when the environment variable ROUGHPI_MPI_TEST_FAIL_RANK holds a
// rank's number, that rank throws at its first failure point, after its
// first piece (or at the end of its first count if it counted none), so that
// the tests can see a failing rank abort the whole job. The program itself
// links mpi/no_injected_failure.cpp instead, and knows nothing of this.
#include <injected_failure.hpp>

#include <charconv>
#include <cstdlib>
#include <stdexcept>
#include <string_view>

namespace roughpi::mpi {

std::function<void()> injected_failure(int rank)
{
    const char* value = std::getenv("ROUGHPI_MPI_TEST_FAIL_RANK");
    if (value == nullptr)
        return {};
    const std::string_view text(value);
    int failing = -1;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), failing);
    if (error != std::errc() || end != text.data() + text.size() || failing != rank)
        return {};
    return [] { throw std::runtime_error("failing as ROUGHPI_MPI_TEST_FAIL_RANK asks (a test of the job's abort)"); };
}

}  // namespace roughpi::mpi

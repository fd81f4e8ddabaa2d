// SPDX-License-Identifier: MIT
// The failure a build of roughpi-mpi for the tests injects into a rank, to
// see that one failing rank ends the whole job without a count. The program
// links no_injected_failure.cpp, which injects nothing; the tests' build of
// it links tests/mpi/injected_failure_for_tests.cpp instead.
#pragma once

#include <functional>

namespace roughpi::mpi {

// The rank_setup::failure_point of `rank`: empty when it is not to fail.
std::function<void()> injected_failure(int rank);

}  // namespace roughpi::mpi

// SPDX-License-Identifier: MIT
// The counting paths in the tests: those this build and processor have, and
// how GoogleTest prints one. It prints a path by its name, so that failure
// messages and the tests that ctest lists read "# GetParam() = avx512" rather
// than the bytes of the enumeration. GoogleTest finds PrintTo by
// argument-dependent lookup, so it has to be in the enumeration's namespace;
// it is declared for the tests alone, the library itself has no part in it.
#pragma once

#include <roughpi/counting_path.hpp>

#include <ostream>
#include <vector>

namespace roughpi {

inline void PrintTo(counting_path path, std::ostream* os) { *os << counting_path_name(path); }

namespace testing {

// Every path this build has and this processor can run.
inline std::vector<counting_path> available_paths()
{
    std::vector<counting_path> paths;
    for (const auto path : counting_paths())
        if (counting_path_available(path))
            paths.push_back(path);
    return paths;
}

}  // namespace testing

}  // namespace roughpi

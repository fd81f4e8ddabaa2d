// How GoogleTest prints a counting path: by its name, so that failure messages
// and the tests that ctest lists read "# GetParam() = avx512" rather than the
// bytes of the enumeration. GoogleTest finds PrintTo by argument-dependent
// lookup, so it has to be in the enumeration's namespace; it is declared for
// the tests alone, the library itself has no part in it.
#pragma once

#include <roughpi/counting_path.hpp>

#include <ostream>

namespace roughpi {

inline void PrintTo(counting_path path, std::ostream* os) { *os << counting_path_name(path); }

}  // namespace roughpi

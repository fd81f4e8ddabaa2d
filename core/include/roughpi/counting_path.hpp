// SPDX-License-Identifier: MIT
// The machine-code paths of the counting loops.
//
// Every path returns exactly the same values; they differ only in how the
// inner loop of the pair count runs. The best path this processor supports is
// chosen at run time, so one build runs on any x86-64 and uses AVX2 or AVX-512
// where the processor has them. The functions that take a path are there for
// tests and benchmarks that want to run a particular one; a path this build or
// processor lacks is refused with input_error, never run.
#pragma once

#include <roughpi/export.hpp>

#include <span>

namespace roughpi {

enum class counting_path {
    portable,  // plain C++: scalar division, any processor
    avx2,      // x86-64 with AVX2 and FMA: eight quotients per step, in two vectors
    avx512,    // x86-64 with AVX-512 F/VL/DQ: eight quotients per step
    // The same without the divider: quotients from reciprocals, put right
    // exactly; for processors whose vector divider is slow.
    avx512_reciprocal,
};

// Every path of the enumeration, in its order, whether or not
// this build and processor have it: for listing the paths, e.g. to time or
// test each one that counting_path_available says is there.
ROUGHPI_API std::span<const counting_path> counting_paths() noexcept;

// The name of a path: "portable", "avx2", "avx512" or "avx512rcp"
// ("unknown" for a value outside the enumeration).
ROUGHPI_API const char* counting_path_name(counting_path path) noexcept;

// True when this build has the path and this processor can run it.
ROUGHPI_API bool counting_path_available(counting_path path) noexcept;

// The fastest available path, chosen once per process: the last of the
// enumeration that this processor has, except that of avx512 and
// avx512_reciprocal the one whose quotient loop times quicker is taken (a
// calibration of some tens of microseconds on first use). Whichever it is,
// every count comes out the same.
ROUGHPI_API counting_path best_counting_path() noexcept;

}  // namespace roughpi

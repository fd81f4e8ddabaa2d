// The machine-code paths of the counting loops.
//
// Every path returns exactly the same values; they differ only in how the
// inner loop of the pair count runs. The best path this processor supports is
// chosen at run time, so one build runs on any x86-64 and uses AVX2 or AVX-512
// where the processor has them. The functions that take a path are there for
// tests and benchmarks that want to run a particular one.
#pragma once

#include <cstdint>

namespace roughpi {

enum class counting_path {
    portable,  // plain C++: scalar division, any processor
    avx2,      // x86-64 with AVX2 and FMA: four quotients per step
    avx512,    // x86-64 with AVX-512 F/VL/DQ: eight quotients per step
};

// The name of a path: "portable", "avx2" or "avx512".
const char* counting_path_name(counting_path path);

// True when this build has the path and this processor can run it.
bool counting_path_available(counting_path path);

// The fastest available path.
counting_path best_counting_path();

}  // namespace roughpi

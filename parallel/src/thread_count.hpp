// SPDX-License-Identifier: MIT
// The thread count of a request (see thread_count.cpp).
#pragma once

namespace roughpi::detail {

// 0 means one per CPU the process may use (usable_cpus). Throws input_error
// outside [0, MAX_THREADS].
int resolve_threads(int requested);

}  // namespace roughpi::detail

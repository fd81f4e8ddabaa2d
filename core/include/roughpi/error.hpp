// SPDX-License-Identifier: MIT
// The errors the library reports.
#pragma once

#include <roughpi/export.hpp>

#include <stdexcept>

namespace roughpi {

// What every message of the exceptions below starts with, so that whoever
// shows one among other messages can tell it as the library's, or take it
// off where the program's own name stands before it.
inline constexpr char MESSAGE_PREFIX[] = "roughpi: ";

// Thrown when a call asks for something the library cannot answer exactly: a
// counting path this processor lacks, a piece or a set of sums that does not
// belong to the count it is used for, a thread count out of range. A refused
// call has counted nothing and changed nothing. The message says what was
// wrong, e.g. "roughpi: the counting path 'avx512' is not available on this
// processor or in this build".
class ROUGHPI_API input_error : public std::domain_error {
public:
    using std::domain_error::domain_error;
    ~input_error() override;
};

// Thrown instead of a result that cannot be right: every finished count is
// checked against proven bounds on pi(x) before it is returned, and one
// outside them means that something went wrong inside the library or the
// machine (or that sums were forged). No number is returned. The check is a
// net for gross errors, not a proof: a count that is off by a little still
// passes it.
class ROUGHPI_API internal_error : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
    ~internal_error() override;
};

// Thrown by a count that was asked to stop (through the std::stop_token of
// its options) before it finished: not an error of the input, and no number.
// The message is "roughpi: the count was cancelled".
class ROUGHPI_API cancelled : public std::runtime_error {
public:
    cancelled();
    ~cancelled() override;
};

}  // namespace roughpi

// The one kind of error the library reports.
#pragma once

#include <roughpi/export.hpp>

#include <stdexcept>

namespace roughpi {

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

}  // namespace roughpi

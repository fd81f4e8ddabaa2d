#include <roughpi/error.hpp>

namespace roughpi {

// Out of line, so that the class's virtual table and its deleting destructor
// (the library's one reference to operator delete) live here alone.
input_error::~input_error() = default;

}  // namespace roughpi

// SPDX-License-Identifier: MIT
// ROUGHPI_API marks the functions and classes that make up the interface of
// the library roughpi; it is defined in <roughpi/export.h>, which the C
// headers include too.
#pragma once

#include <roughpi/export.h>

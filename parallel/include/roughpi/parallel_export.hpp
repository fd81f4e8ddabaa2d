// SPDX-License-Identifier: MIT
// ROUGHPI_PARALLEL_API marks the functions that make up the interface of the
// library roughpi_parallel; it is defined in <roughpi/parallel_export.h>,
// which the C headers include too.
#pragma once

#include <roughpi/parallel_export.h>

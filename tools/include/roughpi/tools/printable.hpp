// SPDX-License-Identifier: MIT
// Text from outside (an argument, a file name, a word of a file) made safe
// to show on a terminal.
#pragma once

#include <string>
#include <string_view>

namespace roughpi::tools {

// Control characters and bytes that are not printable ASCII shown as \n, \t
// or \xNN, and \ as \\, so that what a user typed never writes raw control
// codes to the terminal.
std::string printable(std::string_view text);

}  // namespace roughpi::tools

// SPDX-License-Identifier: GPL-3.0-or-later
// Case-insensitive comparison of ASCII text (protocol words, header names,
// file extensions). Only A-Z and a-z fold; every other byte, UTF-8 included,
// compares exactly.
#pragma once

#include <string>
#include <string_view>

namespace tallyvox {

char ToLowerAscii(char c);
std::string ToLowerAscii(std::string_view text);

// a and b are equal once both are folded.
bool EqualsNoCase(std::string_view a, std::string_view b);
bool StartsWithNoCase(std::string_view text, std::string_view prefix);
bool EndsWithNoCase(std::string_view text, std::string_view suffix);

} // namespace tallyvox

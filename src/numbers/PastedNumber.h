// SPDX-License-Identifier: GPL-3.0-or-later
// What a paste may put on the display: one number, written as people copy
// numbers from documents and web pages, or nothing.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace tallyvox {

// The display text of a pasted number, or nothing when the text is anything
// but one number. Blanks around it go (full-width and non-breaking spaces
// too); full-width digits, signs, point and "E" count as their ASCII forms;
// digit-group separators (",", "'", thin, non-breaking and full-width
// spaces, not a plain one) are dropped where they separate groups of three digits, one kind
// per number. What is left must be a sign, digits with at most one point and
// an optional exponent ("1.5E+3"), a finite extended value, and at most
// maxChars characters. A plain decimal keeps its digits ("007.50" shows
// "7.50"); an exponent form shows its value in the general form.
std::optional<std::string> PastedNumberText(std::string_view text, std::size_t maxChars);

} // namespace tallyvox

// SPDX-License-Identifier: GPL-3.0-or-later
// Number formatting by pattern, and the two settings derived for the number
// field. Pure C++, no Qt, so the rules are testable on their own.
#pragma once

#include "numbers/NumberText.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace tallyvox {

// Formats v by a pattern of "0" (a digit always shown), "#" (a digit shown
// only when significant), "," (group the integer part by thousands, anywhere
// before the point) and "." (the point). Other characters are ignored.
// The value is first taken to 18 significant digits (all an extended holds),
// then rounded half away from zero to the places the pattern shows; optional
// trailing "#" places drop their zeros, and the point goes when no place is
// left. "-" is shown only when a non-zero digit is. Values of 1E18 and more
// (and NaN or infinity) fall back to GeneralNumberText, as they cannot be
// written out digit by digit.
std::string FormatNumberPattern(std::string_view pattern, Extended v);

// "0" or "#,0", then "." and decimalPlaces zeros when there are places.
std::string MakeFormatStr(bool showThousands, int decimalPlaces);

// Longest text the number field accepts: the integer digits, their ","
// separators when grouped, and the point with its places. A sign is not
// counted.
std::int32_t MakeMaxLength(int integerLength, bool showThousands, int decimalPlaces);

} // namespace tallyvox

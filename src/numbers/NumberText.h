// SPDX-License-Identifier: GPL-3.0-or-later
// Number texts: the display's two number forms and the conversion of a text
// back to a number.
//
// Every number the calculator shows is also read aloud character by
// character, so these texts are behaviour, not presentation. Pure C++, no Qt.
#pragma once

#include "numbers/Faults.h"

#include <string>
#include <string_view>

namespace tallyvox {

// Converts a decimal text ("." as the point, optional sign and exponent)
// exactly to extended. Blanks (characters up to the space) around the text
// are trimmed; with removeCommas every "," goes first. Returns false, and
// leaves *out alone, for anything else: empty, "INF", "NAN", hex, out of range.
bool TryParseNumber(std::string_view text, bool removeCommas, Extended *out);

// The text without the blanks (characters up to the space) around it.
std::string_view TrimBlanks(std::string_view text);

// The display value rule: every "," removed, blanks trimmed, 0 when the text
// is empty or not a number. Never fails.
Extended ParseNumberText(std::string_view text, bool removeCommas = true);

// The text converted as a whole (no commas removed); ConversionError otherwise.
Extended StrToFloat(std::string_view text);

// General form, 15 significant digits: "0.333333333333333", "1E15", "-2.5".
std::string GeneralNumberText(Extended v);
// The same form with 1 to 15 significant digits ("0.3333" for 4).
std::string GeneralNumberText(Extended v, int significantDigits);

// Exponent (F-E) form with p significant digits derived from n: "1.25E+001".
std::string ExponentNumberText(Extended v, int n);

} // namespace tallyvox

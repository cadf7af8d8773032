// SPDX-License-Identifier: GPL-3.0-or-later
// Chinese number words, and the cue names a spoken text is played as.
//
// Pure C++, no Qt. All texts are UTF-8; a "character" is a code point.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tallyvox {

// Integer digits (at most 20, no sign) to number words written with Arabic
// digits and the units 拾 佰 仟 万 亿 兆 京: "15" -> "1拾5",
// "100200300" -> "1亿02拾万03佰". "" and "0" give "". A group that does not
// convert (contains "E", ".") gives "". Throws CalcError("数据太长，无法转换")
// for more than 20 characters.
std::string NumToBigStr(std::string_view digits);

// Splits UTF-8 text into one cue name per character; "." becomes "10".
std::vector<std::string> CueNamesOf(std::string_view spokenText);

} // namespace tallyvox

// SPDX-License-Identifier: GPL-3.0-or-later
#include "voice/NumberWords.h"

#include "numbers/Faults.h"
#include "numbers/Utf8.h"

#include <cstdint>

namespace tallyvox {

namespace {

constexpr std::string_view DigitTexts[] = {"0", "1", "2", "3", "4", "5", "6", "7", "8", "9"};
constexpr std::string_view PlaceUnits[] = {"仟", "佰", "拾"};
constexpr std::string_view GroupUnits[] = {"元", "万", "亿", "兆", "京"};
constexpr std::size_t MaxDigits = 4 * std::size(GroupUnits);

void ReplaceFirst(std::string &text, std::string_view what, std::string_view with)
{
    const std::size_t at = text.find(what);
    if (at != std::string::npos)
        text.replace(at, what.size(), with);
}

} // namespace

std::string NumToBigStr(std::string_view digits)
{
    if (digits.empty() || digits == "0")
        return {};
    if (CharCount(digits) > MaxDigits)
        throw CalcError("数据太长，无法转换");
    // A group that is not four decimal digits drops every word built so far,
    // so one non-digit anywhere empties the result.
    for (char c : digits)
        if (c < '0' || c > '9')
            return {};

    std::string s((4 - digits.size() % 4) % 4, '0');
    s.append(digits);
    std::size_t groupsLeft = s.size() / 4;

    std::string r;
    r.reserve(64);
    const auto endsWithZero = [&r] { return !r.empty() && r.back() == '0'; };
    for (std::size_t at = 0; at < s.size(); at += 4, --groupsLeft) {
        const std::string_view group(s.data() + at, 4);
        const std::string_view groupUnit = GroupUnits[groupsLeft - 1];
        for (int i = 0; i < 3; ++i) {
            const int d = group[i] - '0';
            if (d != 0) {
                r += DigitTexts[d];
                r += PlaceUnits[i];
            } else if (!r.empty() && !endsWithZero()) {
                r += '0';
            }
        }
        const int d = group[3] - '0';
        if (d != 0) {
            r += DigitTexts[d];
            r += groupUnit;
        } else if (group == "0000" && groupsLeft > 1) {
            // A silent group inside the number keeps its one "0": its unit
            // would be dropped again below, and with it the zero that must
            // be spoken before a next group starting with a non-zero digit
            // (100004000 is 1亿04仟, not 1亿4仟).
        } else if (endsWithZero()) {
            r.pop_back();
            r += groupUnit;
        } else {
            r += groupUnit;
        }
    }
    ReplaceFirst(r, "亿万", "亿");
    ReplaceFirst(r, "兆亿", "兆");
    ReplaceFirst(r, "0元", "");
    ReplaceFirst(r, "元", "");
    return r;
}

std::vector<std::string> CueNamesOf(std::string_view spokenText)
{
    std::vector<std::string> names;
    for (std::size_t i = 0; i < spokenText.size();) {
        const std::size_t n = CharLengthAt(spokenText, i);
        const std::string_view c = spokenText.substr(i, n);
        names.emplace_back(c == "." ? std::string_view("10") : c);
        i += n;
    }
    return names;
}

} // namespace tallyvox

// SPDX-License-Identifier: GPL-3.0-or-later
// Number texts and words: parsing a text, formatting what it parsed to in
// both forms, and turning its digits into number words and cue names.
#include "numbers/NumberText.h"
#include "voice/NumberWords.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char *>(data), size);
    tallyvox::Extended value = 0;
    if (tallyvox::TryParseNumber(text, size % 2 == 0, &value)) {
        tallyvox::GeneralNumberText(value);
        for (int digits : {1, 7, 15, 18})
            tallyvox::ExponentNumberText(value, digits);
    }
    tallyvox::ParseNumberText(text);
    try {
        tallyvox::StrToFloat(text);
    } catch (const tallyvox::CalcError &) {
    }
    try {
        tallyvox::NumToBigStr(text);
    } catch (const tallyvox::CalcError &) {
    }
    tallyvox::CueNamesOf(text);
    return 0;
}

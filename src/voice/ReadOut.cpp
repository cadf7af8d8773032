// SPDX-License-Identifier: GPL-3.0-or-later
#include "voice/ReadOut.h"

#include "numbers/NumberText.h"
#include "numbers/Utf8.h"
#include "voice/NumberWords.h"

#include <cstdint>

namespace tallyvox {

namespace {

// Truncation toward zero into a 64-bit integer; a value outside that range
// (or not a number) is an invalid operation, as the x87 conversion reports.
Extended TruncatedToInt64(Extended v)
{
    if (!(v >= -0x1p63L && v < 0x1p63L))
        throw FloatFault(FaultKind::InvalidOperation);
    return static_cast<Extended>(static_cast<std::int64_t>(v));
}

} // namespace

std::string MainReadOutText(std::string_view displayText, bool displayValueNonNegative)
{
    const std::size_t point = displayText.find('.');
    const std::string_view integerPart = displayText.substr(0, point);
    const std::string_view fractionPart =
        point == std::string_view::npos ? std::string_view() : displayText.substr(point);

    std::string spoken;
    if (integerPart == "0")
        spoken = "0";
    else if (displayValueNonNegative)
        spoken = NumToBigStr(integerPart);
    else
        spoken = "负" + NumToBigStr(WithoutFirstChar(integerPart));
    spoken += fractionPart;
    return spoken;
}

void ExpressionReadOut(const std::string &resultText, ExpressionReadOutHost &host)
{
    if (host.Abandoned())
        return;
    host.PlayCue("等于", true);

    std::string words;
    try {
        Extended v = StrToFloat(resultText);
        if (v < 0) {
            if (host.Abandoned())
                return;
            host.PlayCue("负", true);
            v = StrToFloat(WithoutFirstChar(resultText));
        }
        words = NumToBigStr(GeneralNumberText(TruncatedToInt64(v)));
    } catch (...) {
        words.clear();
        host.ShowMessage("提示", "表达式错误，无法运算！");
    }

    const std::size_t point = resultText.find('.');
    if (words.empty())
        words = "0";
    if (point != std::string::npos)
        words.append(resultText, point);

    for (const std::string &name : CueNamesOf(words)) {
        host.ProcessPendingEvents();
        if (host.Abandoned())
            return;
        host.Wait(500);
        if (host.Abandoned())
            return;
        host.PlayCue(name, true);
    }
}

} // namespace tallyvox

// SPDX-License-Identifier: GPL-3.0-or-later
#include "voice/ReadOut.h"

#include "numbers/NumberText.h"
#include "numbers/Utf8.h"
#include "voice/NumberWords.h"

namespace tallyvox {

namespace {

struct NumberParts {
    std::string_view integer;  // digits before the point, sign included
    std::string_view fraction; // from the point up to the exponent, point included
    std::string_view exponent; // from "E" to the end
};

NumberParts SplitNumber(std::string_view text)
{
    NumberParts parts;
    const std::size_t e = text.find_first_of("Ee");
    if (e != std::string_view::npos)
        parts.exponent = text.substr(e);
    const std::string_view mantissa = text.substr(0, e);
    const std::size_t point = mantissa.find('.');
    parts.integer = mantissa.substr(0, point);
    if (point != std::string_view::npos)
        parts.fraction = mantissa.substr(point);
    return parts;
}

// The expression result's spoken text without its sign, and whether it is
// negative. False when the text is no finite number or has more whole digits
// than number words exist for.
bool ExpressionSpokenText(std::string_view resultText, std::string *spoken, bool *negative)
{
    std::string_view text = TrimBlanks(resultText);
    if (!TryParseNumber(text, false, nullptr))
        return false;
    *negative = text.front() == '-';
    if (text.front() == '-' || text.front() == '+')
        text.remove_prefix(1);
    const NumberParts parts = SplitNumber(text);
    std::string_view digits = parts.integer;
    while (digits.size() > 1 && digits.front() == '0')
        digits.remove_prefix(1);
    try {
        *spoken = NumToBigStr(digits);
    } catch (const CalcError &) {
        return false;
    }
    if (spoken->empty())
        *spoken = "0";
    spoken->append(parts.fraction);
    spoken->append(parts.exponent);
    return true;
}

} // namespace

std::string MainReadOutText(std::string_view displayText, bool displayValueNonNegative)
{
    const NumberParts parts = SplitNumber(displayText);
    std::string spoken;
    if (parts.integer == "0")
        spoken = "0";
    else if (displayValueNonNegative)
        spoken = NumToBigStr(parts.integer);
    else if (const std::string words = NumToBigStr(WithoutFirstChar(parts.integer)); !words.empty())
        spoken = "负" + words;
    else
        spoken = "负0"; // -0.5 is 负零点五, as 0.5 is 零点五
    spoken += parts.fraction;
    spoken += parts.exponent;
    return spoken;
}

void ExpressionReadOut(const std::string &resultText, ExpressionReadOutHost &host)
{
    if (host.Abandoned())
        return;
    host.PlayCue("等于", true);

    // Each cue waits for the one before: "负" used to cut "等于" off.
    const auto playAfterPrevious = [&host](const std::string &name) {
        host.WaitForCueEnd();
        if (host.Abandoned())
            return false;
        host.PlayCue(name, true);
        return true;
    };

    std::string spoken;
    bool negative = false;
    if (!ExpressionSpokenText(resultText, &spoken, &negative)) {
        // No value is not a value: nothing of it is read.
        if (playAfterPrevious("错误"))
            host.ShowMessage("提示", "表达式错误，无法运算！");
        return;
    }
    if (negative && !playAfterPrevious("负"))
        return;

    for (const std::string &name : CueNamesOf(spoken)) {
        host.ProcessPendingEvents();
        if (host.Abandoned())
            return;
        host.Wait(500);
        if (host.Abandoned() || !playAfterPrevious(name))
            return;
    }
}

} // namespace tallyvox

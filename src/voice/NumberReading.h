// Chinese number words and the cue lists of the two read-outs.
//
// Pure C++, no Qt. All texts are UTF-8; a "character" is a code point.
#pragma once

#include <functional>
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

// Spoken text of the main window's read-out for a display text T whose
// display value is displayValueNonNegative (>= 0) or not: "-2.5" -> "负2.5".
// May throw the CalcError of NumToBigStr.
std::string MainReadOutText(std::string_view displayText, bool displayValueNonNegative);

// What the expression window's read-out needs from its surroundings.
class ExpressionReadOutHost {
public:
    virtual ~ExpressionReadOutHost() = default;
    virtual void PlayCue(const std::string &name, bool async) = 0;
    virtual void ProcessPendingEvents() = 0;
    // The fixed pause before each cue; tests and the driver skip it.
    virtual void Wait(int milliseconds) = 0;
    // Information box owned by the expression window.
    virtual void ShowMessage(const std::string &caption, const std::string &text) = 0;
    // True once the main window has closed: the read-out then stops at once
    // and plays nothing more.
    virtual bool Abandoned() const = 0;
};

// Reads an expression result text aloud: "等于", "负" for a negative result,
// the words of the whole part, then the fraction; 500 ms before each cue
// after the first two. Failures show "表达式错误，无法运算！" captioned "提示"
// and read "0".
void ExpressionReadOut(const std::string &resultText, ExpressionReadOutHost &host);

} // namespace tallyvox

// SPDX-License-Identifier: GPL-3.0-or-later
// The two read-outs: the main window's spoken text of a result, and the
// expression window's read-out with its pauses.
//
// Pure C++, no Qt. All texts are UTF-8.
#pragma once

#include <string>
#include <string_view>

namespace tallyvox {

// Spoken text of the main window's read-out for a display text T whose
// display value is displayValueNonNegative (>= 0) or not: "-2.5" -> "负2.5".
// An exponent form is read in full: its mantissa so, then "E", the
// exponent's sign and digits ("-1E-5" -> "负1E-5", "1E15" -> "1E15").
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
    // Returns once the cue that is sounding has finished, so that the next
    // one does not cut it off.
    virtual void WaitForCueEnd() = 0;
    // Information box owned by the expression window.
    virtual void ShowMessage(const std::string &caption, const std::string &text) = 0;
    // True once the read-out must stop at once and play nothing more: the
    // main window has closed, or a newer read-out has started.
    virtual bool Abandoned() const = 0;
};

// Reads an expression result text aloud: "等于", "负" for a negative result,
// the words of the whole part, the fraction, and an exponent's "E", sign
// and digits. Blanks around the text are ignored. Each cue starts once the
// one before has finished, and the number's cues also no sooner than 500 ms
// after it started. A text that is no finite number ("", "INF", "NAN",
// "true") is heard as "等于" and the cue "错误" only, with the box
// "表达式错误，无法运算！" captioned "提示".
void ExpressionReadOut(const std::string &resultText, ExpressionReadOutHost &host);

} // namespace tallyvox

// SPDX-License-Identifier: GPL-3.0-or-later
// One entry of the tape: a finished calculation and when it was made; how it
// is shown, read aloud and named for a screen reader. Pure C++, no Qt.
#pragma once

#include "engine/CalculationRecord.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tallyvox {

struct TapeEntry {
    CalculationRecord calculation;
    std::int64_t time = 0; // seconds since 1970-01-01 UTC

    friend bool operator==(const TapeEntry &, const TapeEntry &) = default;
};

// The terms as the tape shows them: "12 + 3 × 2", "√2 × 3", "sin 30 + 1",
// "(2)²"; an expression's brackets and names as typed.
std::string TermsText(const std::vector<CalculationTerm> &terms);

// The tape's line: "12 + 3 × 2 = 30".
std::string EntryText(const CalculationRecord &calculation);

// True when the result is a number that can go back on the display.
bool HasNumberResult(const CalculationRecord &calculation);

// The cues of the terms, as the equals key's read-out says numbers and the
// keys say themselves: each operand in number words, each operator and
// function by its key cue, in the order the tape shows them. Text terms
// are silent.
std::vector<std::string> TermsCues(const std::vector<CalculationTerm> &terms);

// The whole entry: its terms, "等于", then the result's words, or "错误"
// for a result that is no number.
std::vector<std::string> EntryCues(const CalculationRecord &calculation);

// "第3条": the cues of a position counted from 1.
std::vector<std::string> PositionCues(std::size_t position);

// The screen reader's name of an entry: "第3条，12加3乘2等于30".
std::string EntryAccessibleName(const CalculationRecord &calculation, std::size_t position);

// An expression window's calculation: its numbers and the operators
// + - * / ^ become terms that are heard; everything else is kept as typed.
// An empty result (no value) is kept as the error.
CalculationRecord ExpressionCalculation(std::string_view input, std::string_view result);

} // namespace tallyvox

// SPDX-License-Identifier: GPL-3.0-or-later
// A finished calculation as it was entered, handed by the engine to its host
// at equals (EngineHost::CalculationFinished). Plain data: the tape keeps,
// shows, reads and stores it without looking at the engine.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tallyvox {

struct CalculationTerm {
    enum class Kind : std::uint8_t {
        Number, // an operand as the display showed it: "12", "-0.5", "1E400"
        Key,    // an operator or function key, by its key token: "+", "*", "sqrt", "sin"
        Text,   // anything else, shown as is and not read aloud: "(", "abs"
    };
    Kind kind = Kind::Number;
    std::string text;

    friend bool operator==(const CalculationTerm &, const CalculationTerm &) = default;
};

struct CalculationRecord {
    // In the order entered; a function key stands before the operand it
    // was applied to, whatever side the tape shows it on.
    std::vector<CalculationTerm> terms;
    // The result exactly as the display showed it ("错误！" for an error).
    std::string result;

    friend bool operator==(const CalculationRecord &, const CalculationRecord &) = default;
};

} // namespace tallyvox

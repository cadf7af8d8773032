// Number texts, the power function and the floating-point faults.
//
// Every number the calculator shows is also read aloud character by
// character, so these texts are behaviour, not presentation. Pure C++, no Qt.
#pragma once

#include <cfloat>
#include <stdexcept>
#include <string>
#include <string_view>

namespace tallyvox {

// All calculator values are x87 extended precision: 64-bit significand.
using Extended = long double;
static_assert(LDBL_MANT_DIG == 64, "Tallyvox needs 80-bit extended long double (64-bit significand)");

// An error that, when no handler catches it, reaches the application's
// default error report (a message box showing what()).
class CalcError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The three floating-point faults. Underflow, denormals and inexact results
// are never faults.
enum class FaultKind {
    InvalidOperation, // "Invalid floating point operation"
    DivisionByZero,   // "Floating point division by zero"
    Overflow,         // "Floating point overflow"
};

class FloatFault : public CalcError {
public:
    explicit FloatFault(FaultKind kind);
    FaultKind kind() const noexcept { return kind_; }

private:
    FaultKind kind_;
};

// A text that should have been a number: "'%s' is not a valid floating point value".
class ConversionError : public CalcError {
public:
    explicit ConversionError(std::string_view text);
};

// Fault checks for results of extended arithmetic: a NaN result is an
// invalid operation, an infinite one an overflow.
Extended CheckedResult(Extended r);
// a / b with the x87 fault rules: 0/0 invalid, x/0 division by zero.
Extended CheckedDivide(Extended a, Extended b);

// Converts a decimal text ("." as the point, optional sign and exponent)
// exactly to extended. Blanks (characters up to the space) around the text
// are trimmed; with removeCommas every "," goes first. Returns false, and
// leaves *out alone, for anything else: empty, "INF", "NAN", hex, out of range.
bool TryParseNumber(std::string_view text, bool removeCommas, Extended *out);

// The display value rule: every "," removed, blanks trimmed, 0 when the text
// is empty or not a number. Never fails.
Extended ParseNumberText(std::string_view text, bool removeCommas = true);

// The text converted as a whole (no commas removed); ConversionError otherwise.
Extended StrToFloat(std::string_view text);

// General form, 15 significant digits: "0.333333333333333", "1E15", "-2.5".
std::string GeneralNumberText(Extended v);

// Exponent (F-E) form with p significant digits derived from n: "1.25E+001".
std::string ExponentNumberText(Extended v, int n);

// b to the power e; FloatFault on a negative base with a fractional exponent,
// 0 to a negative whole power, or overflow.
Extended RaisePower(Extended b, Extended e);

// Number of characters (UTF-8 code points) of a text.
std::size_t CharCount(std::string_view utf8);

} // namespace tallyvox

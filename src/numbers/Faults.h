// SPDX-License-Identifier: GPL-3.0-or-later
// The calculator's errors: the three floating-point faults and the failed
// conversion of a text, each carrying the message a user is shown.
#pragma once

#include "numbers/Extended.h"

#include <stdexcept>
#include <string_view>

namespace tallyvox {

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

} // namespace tallyvox

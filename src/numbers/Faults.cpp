// SPDX-License-Identifier: GPL-3.0-or-later
#include "numbers/Faults.h"

#include <cmath>
#include <string>

namespace tallyvox {

namespace {

const char *FaultMessage(FaultKind kind)
{
    switch (kind) {
    case FaultKind::InvalidOperation: return "Invalid floating point operation";
    case FaultKind::DivisionByZero: return "Floating point division by zero";
    case FaultKind::Overflow: return "Floating point overflow";
    }
    return "Invalid floating point operation";
}

} // namespace

FloatFault::FloatFault(FaultKind kind) : CalcError(FaultMessage(kind)), kind_(kind) {}

ConversionError::ConversionError(std::string_view text)
    : CalcError("'" + std::string(text) + "' is not a valid floating point value")
{
}

Extended CheckedResult(Extended r)
{
    if (std::isnan(r))
        throw FloatFault(FaultKind::InvalidOperation);
    if (std::isinf(r))
        throw FloatFault(FaultKind::Overflow);
    return r;
}

Extended CheckedDivide(Extended a, Extended b)
{
    if (b == 0) {
        if (a == 0 || std::isnan(a))
            throw FloatFault(FaultKind::InvalidOperation);
        throw FloatFault(FaultKind::DivisionByZero);
    }
    return CheckedResult(a / b);
}

} // namespace tallyvox

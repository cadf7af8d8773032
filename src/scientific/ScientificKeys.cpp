// SPDX-License-Identifier: GPL-3.0-or-later
#include "scientific/ScientificKeys.h"

#include "numbers/Power.h"

#include <array>
#include <cmath>
#include <cstdint>
#include <optional>

namespace tallyvox {

namespace {

// Largest n whose factorial still fits the extended range (1754! ~ 2E4930).
constexpr int kLargestFactorial = 1754;

enum class Group { Circular, Hyperbolic, Inverse };

// Tags 0-2 are the circular functions, 3-5 the hyperbolic, 6-8 the inverse.
Group GroupOf(int tag)
{
    return tag < TagSinh ? Group::Circular : tag < TagAsin ? Group::Hyperbolic : Group::Inverse;
}

// A full turn in the mode's own unit; radians have no exact one.
Extended FullTurn(AngleMode mode)
{
    return mode == AngleMode::Grads ? 400 : 360;
}

// The argument, multiplying and dividing in the order the modes define.
Extended TrigArgument(Extended x, AngleMode mode, Group group)
{
    if (mode == AngleMode::Radians)
        return x;
    if (group == Group::Hyperbolic)
        return mode == AngleMode::Grads ? CheckedResult(CheckedResult(x * 9) / 10) : x;
    Extended a = CheckedResult(x * Pi()) / 180;
    if (mode == AngleMode::Grads)
        a = CheckedResult(a * 9) / 10;
    return a;
}

// The circular functions of an angle that is a whole number of eighth turns
// (45 degrees, 50 grads), where their value is exact: sin and cos at the
// quarter turns, tan at every eighth. turnRemainder is the angle reduced by
// whole turns; fmod is exact, and so is every step here, so 180 is found to
// be a half turn without any tolerance. Empty where the value is not exact.
std::optional<Extended> ExactCircular(int tag, Extended turnRemainder, Extended fullTurn)
{
    const Extended eighth = fullTurn / 8;
    if (std::fmod(turnRemainder, eighth) != 0)
        return std::nullopt;
    const int eighths = (static_cast<int>(turnRemainder / eighth) % 8 + 8) % 8;
    if (tag == TagTan) {
        if (eighths % 4 == 2)
            throw FloatFault(FaultKind::DivisionByZero); // the pole at an odd quarter turn
        return eighths % 4 == 0 ? 0 : eighths % 4 == 1 ? 1 : -1;
    }
    if (eighths % 2 != 0)
        return std::nullopt; // sin and cos of 45 degrees are irrational
    constexpr std::array<Extended, 4> sine{0, 1, 0, -1};
    const int quarter = eighths / 2;
    return tag == TagSin ? sine[quarter] : sine[(quarter + 1) % 4];
}

// The inverse functions answer in the chosen unit.
Extended FromRadians(Extended r, AngleMode mode)
{
    switch (mode) {
    case AngleMode::Degrees: return CheckedResult(r * 180) / Pi();
    case AngleMode::Grads: return CheckedResult(r * 200) / Pi();
    default: return r;
    }
}

// e^|a| must stay inside the extended range (sinh and cosh only: tanh is
// ±1 long before that).
void CheckHyperbolicRange(Extended a)
{
    CheckedResult(std::exp(std::fabs(a)));
}

Extended TrigFunction(int tag, Extended a)
{
    switch (tag) {
    case TagSin: return CheckedResult(std::sin(a));
    case TagCos: return CheckedResult(std::cos(a));
    case TagTan: return CheckedResult(std::tan(a));
    case TagSinh: CheckHyperbolicRange(a); return CheckedResult(std::sinh(a));
    case TagCosh: CheckHyperbolicRange(a); return CheckedResult(std::cosh(a));
    case TagTanh: return CheckedResult(std::tanh(a));
    case TagAsin: return CheckedResult(std::asin(a));
    case TagAcos: return CheckedResult(std::acos(a));
    default: return CheckedResult(std::atan(a));
    }
}

// The value of a function key for the display value x in the given mode.
Extended FunctionValue(int tag, Extended x, AngleMode mode)
{
    switch (GroupOf(tag)) {
    case Group::Inverse: return FromRadians(TrigFunction(tag, x), mode);
    case Group::Hyperbolic: return TrigFunction(tag, TrigArgument(x, mode, Group::Hyperbolic));
    case Group::Circular: break;
    }
    if (mode == AngleMode::Radians)
        return TrigFunction(tag, x);
    // Whole turns come off exactly in the angle's own unit first.
    const Extended turnRemainder = CheckedResult(std::fmod(x, FullTurn(mode)));
    if (const auto exact = ExactCircular(tag, turnRemainder, FullTurn(mode)))
        return *exact;
    return TrigFunction(tag, TrigArgument(turnRemainder, mode, Group::Circular));
}

Extended Logarithm(Extended x, bool common)
{
    if (x < 0)
        throw FloatFault(FaultKind::InvalidOperation);
    if (x == 0)
        throw FloatFault(FaultKind::DivisionByZero);
    return common ? std::log10(x) : std::log(x);
}

Extended Factorial(Extended v)
{
    // A negative number has no factorial; 0! is 1, and a fraction is
    // rounded first (2.5! is 3!).
    if (v < 0)
        throw FloatFault(FaultKind::InvalidOperation);
    const Extended n = std::round(v + 1e-8L);
    if (n <= 0)
        return 1;
    if (n > kLargestFactorial)
        throw FloatFault(FaultKind::Overflow);
    const int count = static_cast<int>(n);
    if (count <= 12) {
        std::int32_t product = 1; // exact up to 12!
        for (int i = 2; i <= count; ++i)
            product *= i;
        return product;
    }
    Extended product = 1;
    for (int i = 2; i <= count; ++i)
        product = CheckedResult(product * i);
    return product;
}

Extended FromBits(std::uint16_t signExponent, std::uint64_t mantissa)
{
    const int exponent = static_cast<int>(signExponent & 0x7FFF) - 16383 - 63;
    const Extended magnitude = std::ldexp(static_cast<Extended>(mantissa), exponent);
    return (signExponent & 0x8000) ? -magnitude : magnitude;
}

} // namespace

Extended Pi()
{
    return FromBits(0x4000, 0xC90FDAA22168C235ULL);
}

ScientificKeys::ScientificKeys(CalculatorEngine &engine, ScriptEvaluator &script) : engine_(engine), script_(script) {}

void ScientificKeys::SelectAngle(AngleMode mode, const char *cue)
{
    // The toolkit calls a radio handler only when its button becomes checked.
    if (angle_ == mode)
        return;
    angle_ = mode;
    engine_.RunHandler([&] {
        engine_.StopReadOut = true;
        engine_.KeyCue(cue);
    });
}

const char *ScientificKeys::AngleCue(AngleMode mode)
{
    return mode == AngleMode::Degrees ? "角度制" : mode == AngleMode::Radians ? "弧度制" : "梯度制";
}

void ScientificKeys::RadAngleClick()
{
    SelectAngle(AngleMode::Degrees, AngleCue(AngleMode::Degrees));
}
void ScientificKeys::RadRadianClick()
{
    SelectAngle(AngleMode::Radians, AngleCue(AngleMode::Radians));
}
void ScientificKeys::RadGradsClick()
{
    SelectAngle(AngleMode::Grads, AngleCue(AngleMode::Grads));
}

void ScientificKeys::SpbcOsClick(int tag)
{
    const KeyDef *key = FindKey(KeyHandler::SpbcOsClick, tag);
    if (!key)
        return;
    engine_.RunHandler([&] {
        engine_.FunctionKey(std::string(key->cue), key,
                            [&] { return GeneralNumberText(FunctionValue(tag, engine_.DisplayValue(), angle_)); });
    });
}

void ScientificKeys::SpbIntClick()
{
    engine_.RunHandler([&] {
        engine_.FunctionKey("取整", FindKey(KeyHandler::SpbIntClick),
                            [&] { return GeneralNumberText(std::trunc(engine_.DisplayValue())); });
    });
}

void ScientificKeys::SpbLnClick()
{
    engine_.RunHandler([&] {
        engine_.FunctionKey("对数", FindKey(KeyHandler::SpbLnClick),
                            [&] { return GeneralNumberText(Logarithm(engine_.DisplayValue(), false)); });
    });
}

void ScientificKeys::SpbLogClick()
{
    engine_.RunHandler([&] {
        engine_.FunctionKey("log", FindKey(KeyHandler::SpbLogClick),
                            [&] { return GeneralNumberText(Logarithm(engine_.DisplayValue(), true)); });
    });
}

void ScientificKeys::SpbNJCClick()
{
    engine_.RunHandler([&] {
        // The text as a whole: no commas removed, and junk is an error, not 0.
        engine_.FunctionKey("累乘", FindKey(KeyHandler::SpbNJCClick),
                            [&] { return GeneralNumberText(Factorial(StrToFloat(engine_.DisplayText))); });
    });
}

void ScientificKeys::SpbPaiClick()
{
    engine_.RunHandler([&] {
        engine_.StopReadOut = true;
        engine_.KeyCue("派");
        engine_.DisplayText = GeneralNumberText(Pi());
        engine_.Host().FocusInput();
        engine_.StartNewNumber = true;
    });
}

void ScientificKeys::ScriptKey(const char *cue, const KeyDef *key, const std::string &statement,
                               Extended (*exact)(Extended))
{
    engine_.FunctionKey(cue, key, [&] {
        const std::string text = script_.EvalScript(statement, "str");
        // The script computes in doubles, which end at 1.8E308 and answer
        // "INF" beyond; the calculator's 80 bits go on to 1.1E4932, as xʸ
        // does. What overflows those too is an error, not a text read as 0.
        if (text != "INF" && text != "-INF" && text != "NAN")
            return text;
        const Extended r = exact(StrToFloat(engine_.DisplayText));
        return std::isfinite(r) ? GeneralNumberText(r) : std::string();
    });
}

void ScientificKeys::SpbXPFClick(int tag)
{
    engine_.RunHandler([&] {
        const std::string &d = engine_.DisplayText;
        if (tag == 0) {
            ScriptKey("平方", FindKey(KeyHandler::SpbXPFClick, 0), "str = Math.pow(" + d + ",2)",
                      [](Extended v) { return v * v; });
        } else if (tag == 1) {
            ScriptKey("立方", FindKey(KeyHandler::SpbXPFClick, 1), "str = Math.pow(" + d + ",3)",
                      [](Extended v) { return v * v * v; });
        } else if (tag == OpPower) {
            engine_.StopReadOut = true;
            engine_.OperatorKey(OpPower);
            if (engine_.DisplayText.empty())
                engine_.ShowError();
            engine_.Host().FocusInput();
            engine_.StartNewNumber = true;
        }
    });
}

void ScientificKeys::SpbtenxFClick()
{
    engine_.RunHandler([&] {
        ScriptKey("10N次方", FindKey(KeyHandler::SpbtenxFClick), "str = Math.pow(10," + engine_.DisplayText + ")",
                  [](Extended v) { return RaisePower(10, v); });
    });
}

void ScientificKeys::SpbxKLFClick(int tag)
{
    engine_.RunHandler([&] {
        if (tag == 6) {
            // The real root: the cube root of -8 is -2.
            engine_.FunctionKey("开立方", FindKey(KeyHandler::SpbxKLFClick, 6),
                                [&] { return GeneralNumberText(RealRoot(engine_.DisplayValue(), 3)); });
        } else if (tag == OpRoot) {
            engine_.StopReadOut = true;
            engine_.OperatorKey(OpRoot);
        }
    });
}

void ScientificKeys::SpbExpClick()
{
    engine_.RunHandler([&] { engine_.OperatorKey(OpExp); });
}

void ScientificKeys::SpbPEClick()
{
    engine_.RunHandler([&] {
        if (engine_.RefusedOnError())
            return;
        if (!engine_.ExponentDisplay) {
            engine_.OperatorKey(OpFE);
            engine_.ExponentDisplay = true;
        } else {
            engine_.DisplayText = GeneralNumberText(engine_.Accumulator);
            engine_.LabelText.clear();
            engine_.ExponentDisplay = false;
        }
        engine_.StartNewNumber = true;
    });
}

void ScientificKeys::Press(const KeyDef &key)
{
    switch (key.handler) {
    case KeyHandler::RadAngleClick: RadAngleClick(); break;
    case KeyHandler::RadRadianClick: RadRadianClick(); break;
    case KeyHandler::RadGradsClick: RadGradsClick(); break;
    case KeyHandler::SpbcOsClick: SpbcOsClick(key.tag); break;
    case KeyHandler::SpbIntClick: SpbIntClick(); break;
    case KeyHandler::SpbLnClick: SpbLnClick(); break;
    case KeyHandler::SpbLogClick: SpbLogClick(); break;
    case KeyHandler::SpbNJCClick: SpbNJCClick(); break;
    case KeyHandler::SpbPaiClick: SpbPaiClick(); break;
    case KeyHandler::SpbXPFClick: SpbXPFClick(key.tag); break;
    case KeyHandler::SpbtenxFClick: SpbtenxFClick(); break;
    case KeyHandler::SpbxKLFClick: SpbxKLFClick(key.tag); break;
    case KeyHandler::SpbExpClick: SpbExpClick(); break;
    case KeyHandler::SpbPEClick: SpbPEClick(); break;
    case KeyHandler::SpeedButton1Click: break; // the window opens the expression window
    default: engine_.Press(key); break;
    }
}

} // namespace tallyvox

// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/CalculatorEngine.h"

#include "numbers/Power.h"
#include "numbers/Utf8.h"
#include "voice/NumberWords.h"
#include "voice/ReadOut.h"

#include <array>
#include <cmath>
#include <cstdint>
#include <utility>

namespace tallyvox {

namespace {

constexpr const char *kErrorText = "错误！";
constexpr const char *kErrorCue = "错误";

struct OperatorInfo {
    const char *cue;
    const char *symbol;
};

// Indexed by operator code.
constexpr std::array<OperatorInfo, 9> kOperators{{
    {"加", "+"},
    {"减", "-"},
    {"乘", "*"},
    {"除", "/"},
    {"取余", "Mod"},
    {"", ""},
    {"", ""},
    {"N次方", "^"},
    {"开N次方", "√"},
}};

// a - x * trunc(a / x), with the quotient passing through a signed 64-bit
// integer: a quotient outside that range is an invalid operation.
Extended Modulo(Extended a, Extended x)
{
    const Extended q = std::trunc(CheckedDivide(a, x));
    constexpr Extended kLimit = 9223372036854775808.0L; // 2^63
    if (!(q >= -kLimit && q < kLimit))
        throw FloatFault(FaultKind::InvalidOperation);
    const auto whole = static_cast<std::int64_t>(q);
    return CheckedResult(a - CheckedResult(x * static_cast<Extended>(whole)));
}

} // namespace

CalculatorEngine::CalculatorEngine(EngineHost &host) : host_(host) {}

Extended CalculatorEngine::DisplayValue() const
{
    return ParseNumberText(DisplayText, true);
}

void CalculatorEngine::StartUp()
{
    StopReadOut = false;
    ResetCalculator();
    ExponentDisplay = false;
    ErrorShown = false;
}

void CalculatorEngine::ResetCalculator()
{
    Accumulator = 0;
    PendingOperator = OpAdd;
    LabelText.clear();
    DisplayText = "0";
}

void CalculatorEngine::RunHandler(const std::function<void()> &body)
{
    // A key can run nested inside another's read-out: each keeps its own mark.
    struct MarkScope {
        bool &mark;
        bool outer;
        ~MarkScope() { mark = outer; }
    } scope{keyShowedError_, std::exchange(keyShowedError_, false)};
    try {
        body();
    } catch (const CalcError &e) {
        ReportKeyFault(e.what());
        return;
    }
    if (keyShowedError_)
        host_.PlayCue(kErrorCue, true);
}

void CalculatorEngine::ReportKeyFault(const std::string &message)
{
    // Started before the box, which waits for the user.
    host_.PlayCue(kErrorCue, true);
    host_.ReportFault(message);
}

void CalculatorEngine::ShowError()
{
    DisplayText = kErrorText;
    StartNewNumber = true;
    keyShowedError_ = true;
}

int CalculatorEngine::DigitCount(const std::string &text)
{
    const auto count = static_cast<int>(CharCount(text));
    return text.find('.') == std::string::npos ? count : count - 1;
}

// ---------------------------------------------------------------- entry keys

void CalculatorEngine::btnNum1Click(int digit)
{
    RunHandler([&] { Digit(digit); });
}

void CalculatorEngine::Digit(int digit)
{
    StopReadOut = true;
    if (StartNewNumber)
        DisplayText = "0";
    const std::string caption(1, static_cast<char>('0' + digit));
    host_.PlayCue(caption, true);
    if (CharCount(DisplayText) >= 30)
        return;
    // A zero integer part must not grow leading zeros.
    bool appendAllowed = true;
    if (digit == 0 && DisplayText.find('.') == std::string::npos)
        appendAllowed = DisplayValue() != 0;
    if (DisplayText == "0" || DisplayText == "-0")
        DisplayText = caption;
    else if (appendAllowed)
        DisplayText += caption;
    StartNewNumber = false;
    AwaitingOperand = false;
    host_.FocusInput();
}

void CalculatorEngine::SpbDianClick()
{
    RunHandler([&] {
        StopReadOut = true;
        // The point can begin a number, as a digit does: ". 5" after an
        // operator, a result or an error is 0.5, not 5 (7 + . 5 = is 7.5).
        if (StartNewNumber) {
            DisplayText = "0";
            StartNewNumber = false;
            AwaitingOperand = false;
        }
        if (DisplayText.find('.') == std::string::npos)
            DisplayText += '.';
        host_.PlayCue("10", true);
    });
}

void CalculatorEngine::btnBackClick()
{
    RunHandler([&] {
        StopReadOut = true;
        host_.PlayCue("退位", true);
        if (DisplayText == "0")
            return;
        PopLastChar(DisplayText);
        if (DisplayText.empty())
            DisplayText = "0";
        host_.FocusInput();
    });
}

void CalculatorEngine::btnSingleClick()
{
    RunHandler([&] {
        StopReadOut = true;
        if (DisplayValue() > 0) {
            host_.PlayCue("负", true);
            DisplayText.insert(0, "-");
        } else if (const auto minus = DisplayText.find('-'); minus != std::string::npos) {
            host_.PlayCue("正", true);
            DisplayText.erase(0, minus + 1);
        }
        host_.FocusInput();
    });
}

void CalculatorEngine::btnCClick()
{
    RunHandler([&] {
        StopReadOut = true;
        host_.PlayCue("归零", true);
        DisplayText = "0";
        host_.FocusInput();
    });
}

void CalculatorEngine::btnCEClick()
{
    RunHandler([&] {
        StopReadOut = true;
        host_.PlayCue("清除", true);
        ResetCalculator();
        ErrorShown = false; // a failed chain is forgotten
        host_.FocusInput();
    });
}

// ------------------------------------------------------ operators and equals

void CalculatorEngine::ApplyPendingOperation()
{
    const Extended x = DisplayValue();
    const Extended a = Accumulator;
    if ((PendingOperator == OpDivide || PendingOperator == OpMod) && x == 0) {
        ShowError();
        ErrorShown = true;
        return;
    }
    try {
        Extended r = a;
        switch (PendingOperator) {
        case OpAdd: r = CheckedResult(a + x); break;
        case OpSubtract: r = CheckedResult(a - x); break;
        case OpMultiply: r = CheckedResult(a * x); break;
        case OpDivide: r = CheckedDivide(a, x); break;
        case OpMod: r = Modulo(a, x); break;
        case OpExp: r = CheckedResult(a * RaisePower(10, x)); break;
        case OpFE: break; // F-E stores nothing
        case OpPower: r = RaisePower(a, x); break;
        case OpRoot: r = RaisePower(a, CheckedDivide(1, x)); break;
        default: break;
        }
        Accumulator = r;
    } catch (const FloatFault &) {
        ShowError();
        ErrorShown = true;
    }
}

void CalculatorEngine::SetOperatorLabel(int code, int n)
{
    const std::string symbol = kOperators[code].symbol;
    if (code == OpExp || code == OpFE || ExponentDisplay)
        LabelText = ExponentNumberText(Accumulator, n) + " " + symbol;
    else
        LabelText = GeneralNumberText(Accumulator) + symbol;
}

void CalculatorEngine::btnAddClick(int code)
{
    RunHandler([&] { OperatorKey(code); });
}

void CalculatorEngine::OperatorKey(int code)
{
    if (code < 0 || code >= static_cast<int>(kOperators.size()))
        return;
    StopReadOut = true;
    host_.PlayCue(kOperators[code].cue, true);
    const int n = DigitCount(DisplayText);
    if (AwaitingOperand) {
        // No operand since the last operator key: only the operator changes.
        PendingOperator = static_cast<std::uint8_t>(code);
        SetOperatorLabel(code, n);
        if ((code == OpExp || code == OpFE) && !ErrorShown)
            DisplayText = "0";
        return;
    }
    // A chain that has failed computes nothing more, and its error stays in
    // sight: a "0" here would read as the answer.
    if (!ErrorShown)
        ApplyPendingOperation();
    PendingOperator = static_cast<std::uint8_t>(code);
    SetOperatorLabel(code, n);
    if (ErrorShown)
        ShowError();
    else if (!ExponentDisplay)
        DisplayText = "0";
    StartNewNumber = true;
    AwaitingOperand = true;
    host_.FocusInput();
}

void CalculatorEngine::btnEqualClick()
{
    RunHandler([&] { Equal(); });
}

void CalculatorEngine::Equal()
{
    StopReadOut = true;
    host_.PlayCue("等于", false);
    const int n = DigitCount(DisplayText);
    const bool chainFailed = ErrorShown;
    if (!chainFailed)
        ApplyPendingOperation();
    if (ErrorShown) {
        ErrorShown = false;
        // A chain that failed at an operator key ends here, in the error;
        // outside F-E mode equals ends every chain by clearing it.
        if (chainFailed && !ExponentDisplay)
            ResetCalculator();
        ShowError();
        return;
    }
    const Extended r = Accumulator;
    if (ExponentDisplay) {
        DisplayText = ExponentNumberText(r, n);
    } else {
        ResetCalculator();
        DisplayText = GeneralNumberText(r);
    }
    if (ReadOut()) {
        LabelText.clear();
        host_.FocusInput();
    }
}

bool CalculatorEngine::ReadOut(bool startsNewNumber)
{
    // Built before the flags change: a text that cannot be read ends the key
    // with StartNewNumber untouched and StopReadOut still set.
    const std::string spoken = MainReadOutText(DisplayText, DisplayValue() >= 0);
    if (startsNewNumber)
        StartNewNumber = true;
    return Speak(CueNamesOf(spoken));
}

bool CalculatorEngine::Speak(const std::vector<std::string> &cues)
{
    StopReadOut = false;
    const std::uint64_t generation = ++readOutGeneration_;
    for (const std::string &cue : cues) {
        host_.ProcessPendingEvents();
        // A key pressed meanwhile ends this read-out for good, and so does an
        // equals whose own read-out completed inside it: the rest of this
        // number would be heard glued to the newer one.
        if (StopReadOut || generation != readOutGeneration_)
            return false;
        // Queued while the cue before is still sounding: no gap between words.
        host_.FollowCue(cue);
    }
    return true;
}

// ------------------------------------------ percent, reciprocal, root, memory

void CalculatorEngine::btnPerClick()
{
    RunHandler([&] {
        StopReadOut = true;
        host_.PlayCue("百分号", true);
        const Extended x = DisplayValue();
        DisplayText = GeneralNumberText(CheckedResult(CheckedDivide(Accumulator, 100) * x));
        host_.FocusInput();
        StartNewNumber = true;
    });
}

void CalculatorEngine::btnCountdownClick()
{
    RunHandler([&] {
        StopReadOut = true;
        host_.PlayCue("导数", true);
        const Extended x = DisplayValue();
        if (x == 0)
            ShowError();
        else
            DisplayText = GeneralNumberText(CheckedDivide(1, x));
        host_.FocusInput();
        StartNewNumber = true;
    });
}

void CalculatorEngine::btnRootsClick()
{
    RunHandler([&] {
        StopReadOut = true;
        host_.PlayCue("开方", true);
        DisplayText = GeneralNumberText(RaisePower(DisplayValue(), 0.5L));
        host_.FocusInput();
        StartNewNumber = true;
    });
}

void CalculatorEngine::btnMCClick()
{
    RunHandler([&] {
        StopReadOut = true;
        host_.PlayCue("MC", true);
        MemoryValue = 0;
        MemoryIndicator.clear();
        host_.FocusInput();
        StartNewNumber = true;
    });
}

void CalculatorEngine::btnMRClick()
{
    RunHandler([&] {
        StopReadOut = true;
        host_.PlayCue("MR", true);
        DisplayText = GeneralNumberText(MemoryValue);
        host_.FocusInput();
        StartNewNumber = true;
        AwaitingOperand = false;
    });
}

void CalculatorEngine::btnMSClick()
{
    RunHandler([&] {
        StopReadOut = true;
        host_.PlayCue("MS", true);
        if (DisplayText != "0") {
            MemoryValue = DisplayValue();
            MemoryIndicator = "M";
        }
        host_.FocusInput();
        StartNewNumber = true;
    });
}

void CalculatorEngine::btnMPlusClick()
{
    RunHandler([&] {
        StopReadOut = true;
        host_.PlayCue("M+", true);
        // Also on an empty memory: M+ and M- start it as MS does.
        MemoryValue = CheckedResult(MemoryValue + DisplayValue());
        MemoryIndicator = "M";
        StartNewNumber = true;
    });
}

void CalculatorEngine::btnMMinusClick()
{
    RunHandler([&] {
        StopReadOut = true;
        host_.PlayCue("M-", true);
        MemoryValue = CheckedResult(MemoryValue - DisplayValue());
        MemoryIndicator = "M";
        StartNewNumber = true;
    });
}

// ------------------------------------------------------------------ keyboard

void CalculatorEngine::edtInputKeyUp(int key)
{
    if (const KeyDef *k = FindKeyByVirtualKey(key))
        Press(*k);
}

void CalculatorEngine::Press(const KeyDef &key)
{
    switch (key.handler) {
    case KeyHandler::btnNum1Click: btnNum1Click(key.tag); break;
    case KeyHandler::SpbDianClick: SpbDianClick(); break;
    case KeyHandler::btnBackClick: btnBackClick(); break;
    case KeyHandler::btnSingleClick: btnSingleClick(); break;
    case KeyHandler::btnCClick: btnCClick(); break;
    case KeyHandler::btnCEClick: btnCEClick(); break;
    case KeyHandler::btnAddClick: btnAddClick(key.tag); break;
    case KeyHandler::btnEqualClick: btnEqualClick(); break;
    case KeyHandler::btnPerClick: btnPerClick(); break;
    case KeyHandler::btnCountdownClick: btnCountdownClick(); break;
    case KeyHandler::btnRootsClick: btnRootsClick(); break;
    case KeyHandler::btnMCClick: btnMCClick(); break;
    case KeyHandler::btnMRClick: btnMRClick(); break;
    case KeyHandler::btnMSClick: btnMSClick(); break;
    case KeyHandler::btnMPlusClick: btnMPlusClick(); break;
    case KeyHandler::btnMMinusClick: btnMMinusClick(); break;
    default: break; // the scientific panel's keys are not the engine's
    }
}

// --------------------------------------------------------- reading again

void CalculatorEngine::SayDisplay()
{
    RunHandler([&] {
        StopReadOut = true;
        try {
            ReadOut(false);
        } catch (const CalcError &) {
            // Typed digits beyond the number words' 20 are read one by one.
            std::string spoken = DisplayText;
            if (!spoken.empty() && spoken.front() == '-')
                spoken.replace(0, 1, "负");
            Speak(CueNamesOf(spoken));
        }
    });
}

void CalculatorEngine::SayStatus()
{
    RunHandler([&] {
        StopReadOut = true;
        std::vector<std::string> cues;
        const auto add = [&cues](const std::vector<std::string> &more) {
            cues.insert(cues.end(), more.begin(), more.end());
        };
        if (!LabelText.empty()) {
            // The label is the left operand, a blank in exponent form, then
            // the operator's sign.
            const OperatorInfo &op =
                kOperators[PendingOperator < kOperators.size() ? PendingOperator : std::size_t{OpAdd}];
            std::string_view number = LabelText;
            if (const std::string_view symbol = op.symbol; !symbol.empty() && number.ends_with(symbol))
                number.remove_suffix(symbol.size());
            number = TrimBlanks(number);
            add(CueNamesOf(MainReadOutText(number, ParseNumberText(number, true) >= 0)));
            if (*op.cue)
                cues.emplace_back(op.cue);
        }
        if (MemoryIndicator.empty()) {
            cues.emplace_back("无记忆");
        } else {
            cues.emplace_back("记忆");
            add(CueNamesOf(MainReadOutText(GeneralNumberText(MemoryValue), MemoryValue >= 0)));
        }
        Speak(cues);
    });
}

void CalculatorEngine::PasteText(const std::string &text)
{
    DisplayText = text;
}

} // namespace tallyvox

// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/CalculatorEngine.h"

#include "numbers/PastedNumber.h"
#include "numbers/Power.h"
#include "numbers/Utf8.h"
#include "voice/NumberWords.h"
#include "voice/ReadOut.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <optional>
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

// The display text with at most digits significant digits, for speech:
// the display and a copy keep every digit.
std::string RoundedForSpeech(const std::string &text, int digits, bool exponentForm)
{
    Extended v = 0;
    if (!TryParseNumber(text, true, &v))
        return text;
    int significant = 0;
    bool leading = true;
    for (const char c : text) {
        if (c == 'E' || c == 'e')
            break;
        if (c >= '1' && c <= '9')
            leading = false;
        if (c >= '0' && c <= '9' && !leading)
            ++significant;
    }
    if (significant <= digits)
        return text;
    return exponentForm ? ExponentNumberText(v, digits) : GeneralNumberText(v, digits);
}

// A chain or a nesting of functions longer than this keeps its newest
// terms, so the tape's memory stays bounded however long the key presses go.
constexpr std::size_t kMaxTerms = 256;
constexpr std::size_t kMaxOperandTerms = 32;

// The key row of an operator code, whose token names it on the tape.
const KeyDef *OperatorKeyDef(int code)
{
    switch (code) {
    case OpExp: return FindKey(KeyHandler::SpbExpClick, OpExp);
    case OpFE: return FindKey(KeyHandler::SpbPEClick, OpFE);
    case OpPower: return FindKey(KeyHandler::SpbXPFClick, OpPower);
    case OpRoot: return FindKey(KeyHandler::SpbxKLFClick, OpRoot);
    default: return FindKey(KeyHandler::btnAddClick, code);
    }
}

// The quick keys that step a setting (the other one, "mute", toggles).
constexpr std::array<std::pair<std::string_view, std::pair<std::string_view, int>>, 5> kQuickSteps{{
    {"faster", {"rate", +1}},
    {"slower", {"rate", -1}},
    {"louder", {"volume", +1}},
    {"softer", {"volume", -1}},
    {"speech", {"speech", +1}},
}};

} // namespace

CalculatorEngine::CalculatorEngine(EngineHost &host) : host_(host) {}

Extended CalculatorEngine::DisplayValue() const
{
    return ParseNumberText(DisplayText, true);
}

bool CalculatorEngine::ShowsError() const
{
    return DisplayText == kErrorText;
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
    tapeTerms_.clear();
    tapeOperand_.clear();
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
        Say(kErrorCue, true);
}

void CalculatorEngine::ReportKeyFault(const std::string &message)
{
    // Started before the box, which waits for the user.
    Say(kErrorCue, true);
    host_.ReportFault(message);
}

void CalculatorEngine::ShowError()
{
    DisplayText = kErrorText;
    StartNewNumber = true;
    keyShowedError_ = true;
}

bool CalculatorEngine::RefusedOnError()
{
    if (!ShowsError())
        return false;
    keyShowedError_ = true;
    return true;
}

void CalculatorEngine::KeyCue(const std::string &name)
{
    if (Listener.KeyCuesSpoken())
        host_.PlayCue(name, true);
}

void CalculatorEngine::ResultKeyCue(const std::string &name)
{
    // A result read after the key's cue waits for that cue, as equals does.
    if (Listener.readFunctions && Listener.KeyCuesSpoken())
        host_.PlayCue(name, false);
    else
        KeyCue(name);
}

void CalculatorEngine::Say(const std::string &name, bool async)
{
    if (Listener.Audible())
        host_.PlayCue(name, async);
}

void CalculatorEngine::FunctionKey(const std::string &cue, const KeyDef *noted,
                                   const std::function<std::string()> &value)
{
    StopReadOut = true;
    ResultKeyCue(cue);
    if (RefusedOnError())
        return;
    const std::string operand = DisplayText;
    try {
        DisplayText = value();
    } catch (const CalcError &) {
        DisplayText.clear();
    }
    // A fault leaves no operand behind: the next number replaces the error
    // and the pending operation goes on with it.
    if (DisplayText.empty())
        ShowError();
    if (noted)
        NoteFunction(*noted, operand);
    else
        tapeOperand_.clear();
    host_.FocusInput();
    StartNewNumber = true;
    if (Listener.readFunctions && !ShowsError())
        ReadOut();
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
    tapeOperand_.clear(); // typed: the operand is what the display shows
    const std::string caption(1, static_cast<char>('0' + digit));
    KeyCue(caption);
    if (CharCount(DisplayText) >= kDisplayLimit)
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
        KeyCue("10");
    });
}

void CalculatorEngine::btnBackClick()
{
    RunHandler([&] {
        StopReadOut = true;
        KeyCue("退位");
        if (DisplayText == "0")
            return;
        // The error is one word, not letters: it goes as a whole.
        if (ShowsError())
            DisplayText.clear();
        else
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
        if (RefusedOnError())
            return;
        if (DisplayValue() > 0) {
            KeyCue("负");
            DisplayText.insert(0, "-");
        } else if (const auto minus = DisplayText.find('-'); minus != std::string::npos) {
            KeyCue("正");
            DisplayText.erase(0, minus + 1);
        }
        host_.FocusInput();
    });
}

void CalculatorEngine::btnCClick()
{
    RunHandler([&] {
        StopReadOut = true;
        KeyCue("归零");
        DisplayText = "0";
        host_.FocusInput();
    });
}

void CalculatorEngine::btnCEClick()
{
    RunHandler([&] {
        StopReadOut = true;
        KeyCue("清除");
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
        case OpRoot: r = RealRoot(a, x); break;
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
    KeyCue(kOperators[code].cue);
    if (RefusedOnError())
        return;
    NoteOperator(code);
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
    Say("等于", false);
    // A second equals after an error repeats the error, never "0".
    if (RefusedOnError())
        return;
    std::vector<CalculationTerm> entered = tapeTerms_;
    AppendTermsTo(entered, OperandTerms());
    const int n = DigitCount(DisplayText);
    if (!ErrorShown)
        ApplyPendingOperation();
    if (ErrorShown) {
        // An error ends the calculation, also in F-E mode: what follows
        // starts afresh and no pending operation of the failed one survives.
        ErrorShown = false;
        ResetCalculator();
        ShowError();
        FinishCalculation(std::move(entered));
        return;
    }
    const Extended r = Accumulator;
    if (ExponentDisplay) {
        DisplayText = ExponentNumberText(r, n);
    } else {
        ResetCalculator();
        DisplayText = GeneralNumberText(r);
    }
    FinishCalculation(std::move(entered));
    if (ReadOut()) {
        LabelText.clear();
        host_.FocusInput();
    }
}

bool CalculatorEngine::ReadOut(bool startsNewNumber)
{
    // Built before the flags change: a text that cannot be read ends the key
    // with StartNewNumber untouched and StopReadOut still set.
    const std::string shown =
        Listener.digits > 0 ? RoundedForSpeech(DisplayText, Listener.digits, ExponentDisplay) : DisplayText;
    const std::string spoken = MainReadOutText(shown, DisplayValue() >= 0);
    if (startsNewNumber)
        StartNewNumber = true;
    return Speak(CueNamesOf(spoken));
}

bool CalculatorEngine::Speak(const std::vector<std::string> &cues, bool evenIfSilenced)
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
        if (evenIfSilenced || Listener.Audible())
            host_.FollowCue(cue);
    }
    return true;
}

// ------------------------------------------ percent, reciprocal, root, memory

void CalculatorEngine::btnPerClick()
{
    RunHandler([&] {
        // The tape shows the value it produced.
        FunctionKey("百分号", nullptr,
                    [&] { return GeneralNumberText(CheckedResult(CheckedDivide(Accumulator, 100) * DisplayValue())); });
    });
}

void CalculatorEngine::btnCountdownClick()
{
    RunHandler([&] {
        FunctionKey("导数", FindKey(KeyHandler::btnCountdownClick),
                    [&] { return GeneralNumberText(CheckedDivide(1, DisplayValue())); });
    });
}

void CalculatorEngine::btnRootsClick()
{
    RunHandler([&] {
        FunctionKey("开方", FindKey(KeyHandler::btnRootsClick),
                    [&] { return GeneralNumberText(RaisePower(DisplayValue(), 0.5L)); });
    });
}

void CalculatorEngine::btnMCClick()
{
    RunHandler([&] {
        StopReadOut = true;
        KeyCue("MC");
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
        ResultKeyCue("MR");
        DisplayText = GeneralNumberText(MemoryValue);
        tapeOperand_.clear(); // the tape shows the value recalled
        host_.FocusInput();
        StartNewNumber = true;
        AwaitingOperand = false;
        if (Listener.readFunctions)
            ReadOut();
    });
}

void CalculatorEngine::btnMSClick()
{
    RunHandler([&] {
        StopReadOut = true;
        KeyCue("MS");
        if (RefusedOnError())
            return;
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
        KeyCue("M+");
        if (RefusedOnError())
            return;
        // Also on an empty memory: M+ and M- start it as MS does.
        try {
            MemoryValue = CheckedResult(MemoryValue + DisplayValue());
        } catch (const CalcError &) {
            ShowError(); // the memory keeps what it had
            return;
        }
        MemoryIndicator = "M";
        StartNewNumber = true;
    });
}

void CalculatorEngine::btnMMinusClick()
{
    RunHandler([&] {
        StopReadOut = true;
        KeyCue("M-");
        if (RefusedOnError())
            return;
        try {
            MemoryValue = CheckedResult(MemoryValue - DisplayValue());
        } catch (const CalcError &) {
            ShowError();
            return;
        }
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

void CalculatorEngine::SayStatus(const std::vector<std::string> &more)
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
        add(more);
        Speak(cues);
    });
}

bool CalculatorEngine::IsQuickSetting(std::string_view command)
{
    return command == "mute" ||
           std::any_of(kQuickSteps.begin(), kQuickSteps.end(), [&](const auto &s) { return s.first == command; });
}

bool CalculatorEngine::QuickSetting(std::string_view command)
{
    ListenerSettings next = Listener;
    std::vector<std::string> words;
    if (command == "mute") {
        next.mute = !next.mute;
        words.emplace_back(next.mute ? "静音" : "取消静音");
    } else {
        const auto step =
            std::find_if(kQuickSteps.begin(), kQuickSteps.end(), [&](const auto &s) { return s.first == command; });
        if (step == kQuickSteps.end())
            return false;
        const auto [name, by] = step->second;
        StepListenerSetting(next, name, by);
        if (name == "speech") {
            static constexpr std::array<const char *, 3> kLevels{"全部朗读", "仅读结果", "不朗读"};
            words.emplace_back(kLevels[static_cast<std::size_t>(next.speech)]);
        } else {
            words.emplace_back(name == "rate" ? "语速" : "音量");
            const auto value = CueNamesOf(MainReadOutText(ListenerSettingText(next, name), true));
            words.insert(words.end(), value.begin(), value.end());
        }
    }
    RunHandler([&] {
        StopReadOut = true;
        // A value that silences is said while the voice still speaks.
        if (next.Audible()) {
            Listener = next;
            host_.ListenerSettingsChanged();
        }
        Speak(words, true);
        if (!(Listener == next)) {
            Listener = next;
            host_.ListenerSettingsChanged();
        }
    });
    return true;
}

void CalculatorEngine::PasteText(const std::string &text)
{
    RunHandler([&] {
        const std::optional<std::string> number = PastedNumberText(text, kDisplayLimit);
        if (!number) {
            keyShowedError_ = true; // refused: nothing changes
            return;
        }
        DisplayText = *number;
        tapeOperand_.clear();
        // The pasted number is the operand an operator key then takes.
        AwaitingOperand = false;
        if (Listener.readFunctions)
            ReadOut(false);
    });
}

// ------------------------------------------------------------------ the tape

void CalculatorEngine::AppendTermsTo(std::vector<CalculationTerm> &to, const std::vector<CalculationTerm> &terms)
{
    to.insert(to.end(), terms.begin(), terms.end());
    if (to.size() > kMaxTerms) {
        to.erase(to.begin(), to.begin() + static_cast<std::ptrdiff_t>(to.size() - kMaxTerms + 1));
        to.front() = {CalculationTerm::Kind::Text, "…"};
    }
}

std::vector<CalculationTerm> CalculatorEngine::OperandTerms() const
{
    if (!tapeOperand_.empty() && tapeOperandShows_ == DisplayText)
        return tapeOperand_;
    return {{CalculationTerm::Kind::Number, DisplayText}};
}

void CalculatorEngine::NoteFunction(const KeyDef &key, const std::string &operandText)
{
    std::vector<CalculationTerm> operand{{CalculationTerm::Kind::Key, std::string(key.token)}};
    // Too deep a nesting starts again from the value it was applied to.
    if (!tapeOperand_.empty() && tapeOperandShows_ == operandText && tapeOperand_.size() < kMaxOperandTerms)
        operand.insert(operand.end(), tapeOperand_.begin(), tapeOperand_.end());
    else
        operand.push_back({CalculationTerm::Kind::Number, operandText});
    tapeOperand_ = std::move(operand);
    tapeOperandShows_ = DisplayText;
}

void CalculatorEngine::NoteOperator(int code)
{
    const KeyDef *key = OperatorKeyDef(code);
    if (!key)
        return;
    CalculationTerm op{CalculationTerm::Kind::Key, std::string(key->token)};
    if (AwaitingOperand) {
        // Only the operator changes; a chain that starts so (after equals)
        // starts from the accumulator the label shows.
        if (!tapeTerms_.empty())
            tapeTerms_.back() = std::move(op);
        else
            tapeTerms_ = {{CalculationTerm::Kind::Number, GeneralNumberText(Accumulator)}, std::move(op)};
        return;
    }
    AppendTermsTo(tapeTerms_, OperandTerms());
    AppendTermsTo(tapeTerms_, {std::move(op)});
    tapeOperand_.clear();
}

void CalculatorEngine::FinishCalculation(std::vector<CalculationTerm> terms)
{
    tapeTerms_.clear();
    tapeOperand_.clear();
    // An equals that only shows the number again is no calculation.
    if (terms.size() == 1 && terms.front().kind == CalculationTerm::Kind::Number)
        return;
    host_.CalculationFinished({std::move(terms), DisplayText});
}

CalculationRecord CalculatorEngine::CurrentCalculation() const
{
    CalculationRecord record{tapeTerms_, {}};
    if (!AwaitingOperand || tapeTerms_.empty())
        AppendTermsTo(record.terms, OperandTerms());
    return record;
}

void CalculatorEngine::SpeakCues(const std::vector<std::string> &cues)
{
    RunHandler([&] {
        StopReadOut = true;
        Speak(cues);
    });
}

void CalculatorEngine::RecallNumber(const std::string &text)
{
    RunHandler([&] {
        StopReadOut = true;
        Say("取回", true); // a tape key's cue: heard with results only too
        DisplayText = text;
        tapeOperand_.clear();
        host_.FocusInput();
        StartNewNumber = true;
        AwaitingOperand = false;
    });
}

} // namespace tallyvox

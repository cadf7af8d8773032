// SPDX-License-Identifier: GPL-3.0-or-later
// The calculator engine: the state of a running calculation and the key
// handlers that change it. Pure C++, no Qt.
//
// The display, the operation label and the memory indicator are plain texts
// here; the window mirrors them into its widgets after every handler and
// before it lets pending events run. Every public handler is a complete key
// press: a fault it does not catch ends it and goes to
// EngineHost::ReportFault, never to the caller.
#pragma once

#include "engine/EngineHost.h"
#include "engine/KeyTable.h"
#include "numbers/NumberText.h"
#include "settings/ListenerSettings.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace tallyvox {

// Operator codes; a key's tag is its code.
enum OperatorCode : std::uint8_t {
    OpAdd = 0,
    OpSubtract = 1,
    OpMultiply = 2,
    OpDivide = 3,
    OpMod = 4,
    OpExp = 5,
    OpFE = 6,
    OpPower = 7,
    OpRoot = 8,
};

class CalculatorEngine {
public:
    explicit CalculatorEngine(EngineHost &host);

    // --- state (the main window's private fields) ---
    Extended Accumulator = 0;
    std::uint8_t PendingOperator = OpAdd;
    bool AwaitingOperand = false;
    bool StartNewNumber = false;
    bool StopReadOut = false;
    // An evaluation of the running chain was refused or faulted: the chain
    // computes nothing more and its equals shows the error (CE starts afresh).
    bool ErrorShown = false;
    bool ExponentDisplay = false;
    Extended MemoryValue = 0;
    // What the listener chose to hear; the defaults are the program as it
    // always sounded.
    ListenerSettings Listener;

    // --- visible texts ---
    std::string DisplayText = "0"; // edtInput
    std::string LabelText;         // lblInput, the operation label
    std::string MemoryIndicator;   // MS: "M" once a value was stored

    // The longest text the display takes, typed or pasted.
    static constexpr std::size_t kDisplayLimit = 30;

    // The number the display text stands for (0 when it is not a number).
    Extended DisplayValue() const;
    // The display shows "错误！", which no key may use as a number.
    bool ShowsError() const;

    // Start-up: StopReadOut false, ResetCalculator, ExponentDisplay and
    // ErrorShown false.
    void StartUp();
    void ResetCalculator();

    // --- number entry ---
    void btnNum1Click(int digit);
    void SpbDianClick();
    void btnBackClick();
    void btnSingleClick();
    void btnCClick();
    void btnCEClick();

    // --- operators and equals ---
    void btnAddClick(int code);
    void btnEqualClick();

    // --- percent, reciprocal, square root, memory ---
    void btnPerClick();
    void btnCountdownClick();
    void btnRootsClick();
    void btnMCClick();
    void btnMRClick();
    void btnMSClick();
    void btnMPlusClick();
    void btnMMinusClick();

    // --- keyboard: key release on the display ---
    // key: a Windows virtual-key code of the key table.
    void edtInputKeyUp(int key);

    // Runs the handler of a keypad key (one of the key table's rows whose
    // handler is not a scientific one); other keys do nothing.
    void Press(const KeyDef &key);

    // --- reading aloud again, from the keyboard ---
    // The display, with the cues of the equals key's read-out; the
    // calculation is left as it is, so entry goes on afterwards.
    void SayDisplay();
    // The pending operation as the operation label shows it (its number, then
    // the operator's cue), then "记忆" and the stored value, or "无记忆".
    // more: what the surroundings add (the angle unit and the view).
    void SayStatus(const std::vector<std::string> &more = {});

    // A quick key of the listener's settings ("faster", "slower", "louder",
    // "softer", "mute", "speech"): one step, then its new value in words,
    // heard even when that value silences the voice (said before it does).
    // False for any other command.
    bool QuickSetting(std::string_view command);
    static bool IsQuickSetting(std::string_view command);

    // "粘贴": a text that is one number becomes the display's operand, with
    // no cue; anything else changes nothing and plays the cue "错误".
    void PasteText(const std::string &text);

    // Runs one key press: a CalcError that escapes body is reported through
    // the host's default error report and ends the key there. A key that
    // shows the error text or a fault report is followed by the cue "错误".
    void RunHandler(const std::function<void()> &body);

    // Pieces the scientific keys share (they do not report faults themselves).
    void ApplyPendingOperation();
    void OperatorKey(int code);
    // Puts "错误！" on the display as a finished value (the next digit starts
    // a new number) and marks the running key as one that ends in an error.
    void ShowError();
    // A key's own cue, unless the listener hears results only (or nothing).
    void KeyCue(const std::string &name);
    // For a key that needs the display's number: true when the display shows
    // the error, after marking the key as one that ends in it (its cue is
    // followed by "错误"); the key then changes nothing.
    bool RefusedOnError();
    // A key that replaces the display value by a function of it: its cue,
    // then value() on the display, or "错误！" when that faults or answers
    // ""; the value is finished, the pending operation untouched.
    // The tape shows the function applied to its operand when noted names
    // the key, and only the value otherwise.
    void FunctionKey(const std::string &cue, const KeyDef *noted, const std::function<std::string()> &value);
    // The default error report of a key's fault, with the cue "错误" first.
    void ReportKeyFault(const std::string &message);
    EngineHost &Host() { return host_; }

    // --- the tape: the running calculation's terms as entered ---
    // A function key (its row) has changed the display from operandText:
    // the operand now reads as the function applied to what it was. Keys
    // call it after their work, so a fault leaves the operand as it was.
    void NoteFunction(const KeyDef &key, const std::string &operandText);
    // The calculation typed so far: its terms, then the display's operand
    // unless an operator key still waits for one. No result.
    CalculationRecord CurrentCalculation() const;
    // Plays cues as the equals read-out does: a key pressed meanwhile ends it.
    void SpeakCues(const std::vector<std::string> &cues);
    // Puts a number on the display as MR does (a new number follows, the
    // pending operation stays), with cue "MR".
    void RecallNumber(const std::string &text);

private:
    void Digit(int digit);
    void Equal();
    // Reads the display aloud; the equals key's read-out also ends the entry
    // (startsNewNumber). Returns true when every cue was played.
    bool ReadOut(bool startsNewNumber = true);
    // A cue of a result, an error or a read-out: silent only when the
    // listener silenced the voice.
    void Say(const std::string &name, bool async);
    // The cue of a key whose result may be read after it.
    void ResultKeyCue(const std::string &name);
    // Plays cues one right after another, letting events run before each;
    // a key pressed meanwhile ends it (returns false).
    bool Speak(const std::vector<std::string> &cues, bool evenIfSilenced = false);
    void SetOperatorLabel(int code, int n);
    static int DigitCount(const std::string &text);

    // The display's operand as terms, and the terms of the chain before it.
    std::vector<CalculationTerm> OperandTerms() const;
    static void AppendTermsTo(std::vector<CalculationTerm> &to, const std::vector<CalculationTerm> &terms);
    void NoteOperator(int code);
    void FinishCalculation(std::vector<CalculationTerm> terms);

    EngineHost &host_;
    std::vector<CalculationTerm> tapeTerms_;
    // How the display's value was made by function keys, valid while the
    // display still shows tapeOperandShows_; empty for a typed number.
    std::vector<CalculationTerm> tapeOperand_;
    std::string tapeOperandShows_;
    // Set by ShowError for the key that is running; each RunHandler keeps
    // its own, since keys run nested inside a read-out.
    bool keyShowedError_ = false;
    // Counts read-outs started: a read-out whose number is no longer the
    // latest has been overtaken by a nested equals and ends for good.
    std::uint64_t readOutGeneration_ = 0;
};

} // namespace tallyvox

// SPDX-License-Identifier: GPL-3.0-or-later
// Runs key tokens through the calculator engine and the scientific keys, as
// the window's handlers do, with cues and message boxes recorded instead of
// played or shown. Backs the headless driver tallyvox-keys and the
// key-sequence tests.
#pragma once

#include "engine/CalculatorEngine.h"
#include "scientific/ScientificKeys.h"
#include "script/ScriptEvaluator.h"
#include "tape/Tape.h"
#include "tape/TapeFile.h"

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tallyvox {

struct RecordedMessage {
    std::string caption;
    std::string text;
};

// What one key (or a whole run) asked for.
struct KeyRecord {
    std::vector<std::string> cues;
    std::vector<RecordedMessage> messages;
    // Left out of a long run's record to bound its memory; said in its line.
    std::size_t omittedCues = 0;
    std::size_t omittedMessages = 0;
};

class KeyDriver {
public:
    explicit KeyDriver(ScriptEvaluator &script);
    ~KeyDriver();

    // Whether token is one of the driver's key tokens.
    static bool IsKnownToken(const std::string &token);

    // Runs one key; returns what it asked for. Unknown tokens do nothing and
    // return false.
    bool RunKey(const std::string &token, KeyRecord *record);

    // One JSON line: display, label, memory, cues, messages, and the
    // clipboard / expression window texts once those were used.
    std::string JsonLine(const KeyRecord &record) const;

    CalculatorEngine &Engine();
    ScientificKeys &Scientific();
    const Tape &GetTape() const;

    // Keeps the tape in this file from now on: reads it, then writes every
    // change; report gets the file's problems. Without it the tape is kept
    // in memory only.
    TapeRead UseTapeFile(const std::filesystem::path &file, std::function<void(const std::string &)> report);
    // Waits until the tape's changes are in its file.
    void FlushTape();

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// JSON string literal of a bounded start of a text (BoundedText): UTF-8
// passes through, control characters are escaped, and every byte that is
// not part of a well-formed UTF-8 character becomes \ufffd.
std::string JsonString(const std::string &text);

} // namespace tallyvox

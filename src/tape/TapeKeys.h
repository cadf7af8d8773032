// SPDX-License-Identifier: GPL-3.0-or-later
// What the tape's keys do, for the window and the headless driver alike:
// keep each finished calculation, read entries aloud through the engine's
// read-out (a key pressed meanwhile ends it), put a result back on the
// display, remove and clear. Pure C++, no Qt.
#pragma once

#include "engine/CalculatorEngine.h"
#include "tape/Tape.h"
#include "tape/TapeStore.h"

#include <cstdint>
#include <functional>

namespace tallyvox {

class TapeKeys {
public:
    TapeKeys(CalculatorEngine &engine, Tape &tape) : engine_(engine), tape_(tape) {}

    // Where changes are kept; none keeps the tape in memory only.
    void SetStore(TapeStore *store) { store_ = store; }
    // Called after every change of the tape's entries.
    void SetChanged(std::function<void()> changed) { changed_ = std::move(changed); }

    // A finished calculation (time: seconds since 1970 UTC). No cue.
    void Record(const CalculationRecord &calculation, std::int64_t time);
    // Entries read from the file at start-up (the store set first).
    void Loaded(std::vector<TapeEntry> entries);

    // From the display: the older or newer entry, read with its position
    // ("第3条" and the entry); "无记录" on an empty tape.
    void Back();
    void Next();
    // The result of the entry last read (else the newest) onto the display.
    void Recall();
    // The whole calculation typed so far, without its result.
    void SayCalculation();

    // From the list: an entry read (with its position or without), recalled,
    // removed ("已删除"); the whole tape cleared ("已清除").
    void SayEntry(std::size_t index, bool withPosition);
    void RecallEntry(std::size_t index);
    void Remove(std::size_t index);
    void Clear();

private:
    void Changed();

    CalculatorEngine &engine_;
    Tape &tape_;
    TapeStore *store_ = nullptr;
    std::function<void()> changed_;
};

} // namespace tallyvox

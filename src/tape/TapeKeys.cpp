// SPDX-License-Identifier: GPL-3.0-or-later
#include "tape/TapeKeys.h"

namespace tallyvox {

void TapeKeys::Changed()
{
    if (changed_)
        changed_();
}

void TapeKeys::Record(const CalculationRecord &calculation, std::int64_t time)
{
    TapeEntry entry{calculation, time};
    if (store_)
        store_->Added(entry);
    tape_.Add(std::move(entry));
    Changed();
}

void TapeKeys::Loaded(std::vector<TapeEntry> entries)
{
    // Calculations made before the file was read stay the newest, and go
    // into the file after what it holds.
    for (const TapeEntry &entry : tape_.Entries()) {
        if (store_)
            store_->Added(entry);
        entries.push_back(entry);
    }
    tape_.Assign(std::move(entries));
    Changed();
}

void TapeKeys::SayEntry(std::size_t index, bool withPosition)
{
    if (index >= tape_.Size()) {
        engine_.SpeakCues({"无记录"});
        return;
    }
    tape_.SetPlace(index);
    std::vector<std::string> cues;
    if (withPosition)
        cues = PositionCues(index + 1);
    for (std::string &cue : EntryCues(tape_.At(index).calculation))
        cues.push_back(std::move(cue));
    engine_.SpeakCues(cues);
}

void TapeKeys::Back()
{
    const auto place = tape_.Back();
    SayEntry(place.value_or(tape_.Size()), true);
}

void TapeKeys::Next()
{
    const auto place = tape_.Next();
    SayEntry(place.value_or(tape_.Size()), true);
}

void TapeKeys::Recall()
{
    if (tape_.Empty())
        engine_.SpeakCues({"无记录"});
    else
        RecallEntry(tape_.Place().value_or(tape_.Size() - 1));
}

void TapeKeys::RecallEntry(std::size_t index)
{
    if (index >= tape_.Size()) {
        engine_.SpeakCues({"无记录"});
        return;
    }
    const CalculationRecord &calculation = tape_.At(index).calculation;
    // An error is no number to go on with.
    if (!HasNumberResult(calculation)) {
        engine_.SpeakCues({"错误"});
        return;
    }
    engine_.RecallNumber(calculation.result);
}

void TapeKeys::SayCalculation()
{
    engine_.SpeakCues(TermsCues(engine_.CurrentCalculation().terms));
}

void TapeKeys::Remove(std::size_t index)
{
    if (index >= tape_.Size())
        return;
    if (store_)
        store_->Removed(tape_.At(index));
    tape_.Remove(index);
    Changed();
    engine_.SpeakCues({"已删除"});
}

void TapeKeys::Clear()
{
    tape_.Clear();
    if (store_)
        store_->Cleared();
    Changed();
    engine_.SpeakCues({"已清除"});
}

} // namespace tallyvox

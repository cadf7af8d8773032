// SPDX-License-Identifier: GPL-3.0-or-later
// Records what the engine or a read-out asks of its surroundings, in order:
// cues, pauses, event steps and messages. It can also play the main window
// closing at a given event step or pause.
#pragma once

#include "engine/EngineHost.h"
#include "voice/ReadOut.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace tallyvox::test {

class RecordingHost : public EngineHost, public ExpressionReadOutHost {
public:
    std::vector<std::string> cues;
    bool allAsync = true;
    std::vector<int> waits; // milliseconds of each pause
    int eventSteps = 0;
    // Cues played after the read-out waited for the previous one to end.
    int cuesAfterAnEnd = 0;
    int focusCalls = 0;
    // caption and text; a fault report is captioned "Tallyvox"
    std::vector<std::pair<std::string, std::string>> messages;

    // The main window closes at this event step or during this pause
    // (1-based); 0 never.
    int closeAtEventStep = 0;
    int closeDuringWait = 0;
    bool closed = false;

    void PlayCue(const std::string &name, bool async) override
    {
        EXPECT_FALSE(closed) << "cue " << name << " played after the main window closed";
        cues.push_back(name);
        allAsync = allAsync && async;
        cuesAfterAnEnd += std::exchange(cueEnded_, false) ? 1 : 0;
    }
    void WaitForCueEnd() override { cueEnded_ = true; }
    void ProcessPendingEvents() override
    {
        if (++eventSteps == closeAtEventStep)
            closed = true;
    }
    void FocusInput() override { ++focusCalls; }
    void ReportFault(const std::string &message) override { messages.emplace_back("Tallyvox", message); }
    void Wait(int milliseconds) override
    {
        waits.push_back(milliseconds);
        if (closeDuringWait > 0 && int(waits.size()) == closeDuringWait)
            closed = true;
    }
    void ShowMessage(const std::string &caption, const std::string &text) override
    {
        messages.emplace_back(caption, text);
    }
    bool Abandoned() const override { return closed; }

private:
    bool cueEnded_ = false;
};

} // namespace tallyvox::test

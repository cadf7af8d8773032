// SPDX-License-Identifier: GPL-3.0-or-later
// What the calculator engine needs from its surroundings. The window, the
// headless driver and the tests each provide one.
#pragma once

#include "engine/CalculationRecord.h"

#include <string>

namespace tallyvox {

class EngineHost {
public:
    virtual ~EngineHost() = default;

    // Plays a voice cue. async: returns at once; sync: returns when the cue
    // has finished. Never throws; a cue that cannot play is silent.
    virtual void PlayCue(const std::string &name, bool async) = 0;

    // Lets pending window events run. Key handlers may run nested inside.
    virtual void ProcessPendingEvents() = 0;

    // Gives the display the keyboard focus, caret after the last character.
    virtual void FocusInput() = 0;

    // The application's default error report: a fault that no handler
    // caught, shown in a box captioned "Tallyvox".
    virtual void ReportFault(const std::string &message) = 0;

    // An equals key has shown a result (or the error) of what was entered;
    // the tape keeps it. Hosts without a tape ignore it.
    virtual void CalculationFinished(const CalculationRecord &) {}
};

} // namespace tallyvox

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

    // Plays a voice cue, cutting off the one sounding. async: returns at
    // once; sync: returns when the cue has finished, or is close enough to
    // its end that a FollowCue called next is heard right after it. Never
    // throws; a cue that cannot play is silent.
    virtual void PlayCue(const std::string &name, bool async) = 0;

    // Plays a cue right after the one sounding, with no gap between them,
    // and returns as a synchronous PlayCue does. A host that cannot queue
    // plays it synchronously.
    virtual void FollowCue(const std::string &name) { PlayCue(name, false); }

    // Lets pending window events run. Key handlers may run nested inside.
    virtual void ProcessPendingEvents() = 0;

    // Gives the display the keyboard focus, caret after the last character.
    virtual void FocusInput() = 0;

    // The application's default error report: a fault that no handler
    // caught, shown in a box captioned "Tallyvox".
    virtual void ReportFault(const std::string &message) = 0;

    // A quick key changed the engine's Listener settings: the surroundings
    // apply what is theirs (the player's volume) and keep them.
    virtual void ListenerSettingsChanged() {}

    // An equals key has shown a result (or the error) of what was entered;
    // the tape keeps it. Hosts without a tape ignore it.
    virtual void CalculationFinished(const CalculationRecord &) {}
};

} // namespace tallyvox

// SPDX-License-Identifier: GPL-3.0-or-later
// Plays voice cues from the scrambled WAV files of the play/ folder.
//
// One reused buffer (CueStream); a new cue cuts off the one sounding; every
// failure is silent, and so is every cue DecodeCue refuses. Audio through
// SDL2; where no sound device opens, SDL's dummy driver keeps the timing and
// nothing is heard. The device is closed while no cue has sounded for a
// moment, so an idle calculator writes nothing and wakes nobody.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace tallyvox {

class CuePlayer {
public:
    // cueFolder: the folder holding "<name>.WAV" files (normally
    // <executable folder>/play). The audio device is opened lazily, at the
    // first cue or by Prepare, so constructing a player is cheap.
    explicit CuePlayer(std::filesystem::path cueFolder);
    ~CuePlayer();
    CuePlayer(const CuePlayer &) = delete;
    CuePlayer &operator=(const CuePlayer &) = delete;

    // async: returns once the cue has started. sync: returns when it has
    // finished; whileWaiting (if set) is called repeatedly meanwhile, e.g. to
    // let the window repaint. Never throws.
    void PlayCue(const std::string &name, bool async, const std::function<void()> &whileWaiting = {});

    // How a cue of PlayCueToTail starts: cutting off what sounds (as
    // PlayCue does), or right after what is queued, with no gap.
    enum class Start { CutOff, AfterQueued };

    // Plays a cue and returns once at most TailMs of it remains queued, so
    // that a cue queued next (FollowCue) follows it without a gap; events
    // run meanwhile as in a synchronous PlayCue. The tail it leaves is never
    // cut off: the next PlayCue waits for it (at most TailMs) instead.
    void PlayCueToTail(const std::string &name, Start start, const std::function<void()> &whileWaiting = {});
    static constexpr int TailMs = 30;

    // Loads SDL and opens the device on a thread of its own, so that the
    // first cue does not pay for it. Returns at once; a cue played meanwhile
    // waits for it to finish.
    void Prepare();

    // The volume of the cues played from now on, 0 (silent) to 10 (as
    // recorded), 3 dB a step, applied to the samples, never to the system
    // mixer.
    void SetVolume(int level);

    // True while a cue is still sounding.
    bool IsSounding() const;

    // Blocks until what is queued has been heard (at once when nothing is),
    // calling whileWaiting as a synchronous PlayCue does.
    void WaitForEnd(const std::function<void()> &whileWaiting = {});

    // Stops what sounds and frees the cue buffer; later PlayCue calls do
    // nothing.
    void ReleaseCueStream();

    // play/ beside the executable, or in the installed private folder
    // (FindProgramPiece).
    static std::filesystem::path DefaultCueFolder();

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace tallyvox

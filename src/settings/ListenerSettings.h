// SPDX-License-Identifier: GPL-3.0-or-later
// What a listener can set: speech rate, volume, mute, what speaks, function
// results read aloud, long results read shorter, and keeping the tape. The
// defaults are the program as it behaves without any setting.
//
// One table names every setting and its texts, so the settings file, the
// driver's set: tokens and the JSON the driver prints all read and write
// the same words, and a value outside the table never reaches a caller.
#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

namespace tallyvox {

// What the voice says.
enum class SpeechLevel {
    All,     // every key's cue and every result
    Results, // no key cues: read-outs, errors and the say-again keys only
    Silent,  // nothing
};

// The speech rates, slowest first; 1 is the recordings' own pace.
inline constexpr std::array<double, 5> kSpeechRates{0.8, 1.0, 1.25, 1.5, 2.0};
inline constexpr int kLoudest = 10;
inline constexpr int kFewestDigits = 2;
inline constexpr int kMostDigits = 15;

struct ListenerSettings {
    double rate = 1.0;     // one of kSpeechRates
    int volume = kLoudest; // 0 … kLoudest, applied to the samples
    bool mute = false;
    SpeechLevel speech = SpeechLevel::All;
    bool readFunctions = false; // function keys, MR and a paste read their result
    int digits = 0;             // 0: every digit; else kFewestDigits … kMostDigits, for speech only
    bool keepTape = true;

    bool operator==(const ListenerSettings &) const = default;

    // Whether a cue may sound at all, and whether a key's own cue may.
    bool Audible() const { return !mute && volume > 0 && speech != SpeechLevel::Silent; }
    bool KeyCuesSpoken() const { return Audible() && speech == SpeechLevel::All; }
};

// The names of the settings, in the order the file and the driver list them.
const std::vector<std::string_view> &ListenerSettingNames();

// Sets one setting from its text ("rate" "1.25", "speech" "results",
// "digits" "all", "mute" "on"). False, and nothing changed, for an unknown
// name or a text that is not one of the setting's values.
bool SetListenerSetting(ListenerSettings &settings, std::string_view name, std::string_view text);

// The text of one setting's value, as SetListenerSetting takes it; "" for an
// unknown name.
std::string ListenerSettingText(const ListenerSettings &settings, std::string_view name);

// A step through a setting's values for the quick keys: the next rate or
// volume up (+1) or down (-1), clamped at the ends; the next speech level
// round the cycle (any step).
void StepListenerSetting(ListenerSettings &settings, std::string_view name, int step);

} // namespace tallyvox

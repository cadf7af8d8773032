// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/ListenerSettings.h"

#include <algorithm>
#include <charconv>

namespace tallyvox {

namespace {

constexpr std::array<std::string_view, 5> kRateTexts{"0.8", "1", "1.25", "1.5", "2"};
constexpr std::array<std::string_view, 3> kSpeechTexts{"all", "results", "silent"};

bool ParseInt(std::string_view text, int low, int high, int *out)
{
    int value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size() || value < low || value > high)
        return false;
    *out = value;
    return true;
}

bool ParseSwitch(std::string_view text, bool *out)
{
    if (text != "on" && text != "off")
        return false;
    *out = text == "on";
    return true;
}

std::size_t RateIndex(double rate)
{
    const auto at = std::find(kSpeechRates.begin(), kSpeechRates.end(), rate);
    return at == kSpeechRates.end() ? 1 : static_cast<std::size_t>(at - kSpeechRates.begin());
}

} // namespace

const std::vector<std::string_view> &ListenerSettingNames()
{
    static const std::vector<std::string_view> names{"rate",          "volume", "mute",    "speech",
                                                     "readfunctions", "digits", "keeptape"};
    return names;
}

bool SetListenerSetting(ListenerSettings &settings, std::string_view name, std::string_view text)
{
    if (name == "rate") {
        const auto at = std::find(kRateTexts.begin(), kRateTexts.end(), text);
        if (at == kRateTexts.end())
            return false;
        settings.rate = kSpeechRates[static_cast<std::size_t>(at - kRateTexts.begin())];
        return true;
    }
    if (name == "volume")
        return ParseInt(text, 0, kLoudest, &settings.volume);
    if (name == "mute")
        return ParseSwitch(text, &settings.mute);
    if (name == "speech") {
        const auto at = std::find(kSpeechTexts.begin(), kSpeechTexts.end(), text);
        if (at == kSpeechTexts.end())
            return false;
        settings.speech = static_cast<SpeechLevel>(at - kSpeechTexts.begin());
        return true;
    }
    if (name == "readfunctions")
        return ParseSwitch(text, &settings.readFunctions);
    if (name == "digits") {
        if (text == "all") {
            settings.digits = 0;
            return true;
        }
        return ParseInt(text, kFewestDigits, kMostDigits, &settings.digits);
    }
    if (name == "keeptape")
        return ParseSwitch(text, &settings.keepTape);
    return false;
}

std::string ListenerSettingText(const ListenerSettings &settings, std::string_view name)
{
    const auto onOff = [](bool on) { return std::string(on ? "on" : "off"); };
    if (name == "rate")
        return std::string(kRateTexts[RateIndex(settings.rate)]);
    if (name == "volume")
        return std::to_string(settings.volume);
    if (name == "mute")
        return onOff(settings.mute);
    if (name == "speech")
        return std::string(kSpeechTexts[static_cast<std::size_t>(settings.speech)]);
    if (name == "readfunctions")
        return onOff(settings.readFunctions);
    if (name == "digits")
        return settings.digits == 0 ? "all" : std::to_string(settings.digits);
    if (name == "keeptape")
        return onOff(settings.keepTape);
    return {};
}

void StepListenerSetting(ListenerSettings &settings, std::string_view name, int step)
{
    if (name == "rate") {
        const auto index = static_cast<int>(RateIndex(settings.rate)) + step;
        settings.rate = kSpeechRates[static_cast<std::size_t>(std::clamp(index, 0, int(kSpeechRates.size()) - 1))];
    } else if (name == "volume") {
        settings.volume = std::clamp(settings.volume + step, 0, kLoudest);
    } else if (name == "speech") {
        settings.speech = static_cast<SpeechLevel>((static_cast<int>(settings.speech) + 1) % int(kSpeechTexts.size()));
    }
}

} // namespace tallyvox

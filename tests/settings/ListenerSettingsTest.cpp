// SPDX-License-Identifier: GPL-3.0-or-later
// Every setting's texts: each valid one round-trips, each invalid one changes
// nothing (a damaged settings file or a mistyped driver token must never
// reach the player or the engine as a value outside the table).
#include "settings/ListenerSettings.h"

#include <gtest/gtest.h>

namespace tallyvox {
namespace {

TEST(ListenerSettings, ValidTextsRoundTripInvalidOnesChangeNothing)
{
    struct Row {
        const char *name;
        std::vector<const char *> valid, invalid;
    };
    const Row rows[] = {
        {"rate", {"0.8", "1", "1.25", "1.5", "2"}, {"", "3", "1.0", "0.5", "fast", "2 "}},
        {"volume", {"0", "1", "5", "10"}, {"", "-1", "11", "5.5", "+5", "10x", "99999999999"}},
        {"mute", {"on", "off"}, {"", "true", "1", "ON"}},
        {"speech", {"all", "results", "silent"}, {"", "none", "All"}},
        {"readfunctions", {"on", "off"}, {"yes"}},
        {"digits", {"all", "2", "9", "15"}, {"", "0", "1", "16", "-3", "four"}},
        {"keeptape", {"on", "off"}, {"no"}},
    };
    ASSERT_EQ(std::size(rows), ListenerSettingNames().size());
    for (const Row &row : rows) {
        for (const char *text : row.valid) {
            ListenerSettings s;
            EXPECT_TRUE(SetListenerSetting(s, row.name, text)) << row.name << "=" << text;
            EXPECT_EQ(ListenerSettingText(s, row.name), text) << row.name;
        }
        for (const char *text : row.invalid) {
            ListenerSettings s;
            EXPECT_FALSE(SetListenerSetting(s, row.name, text)) << row.name << "=" << text;
            EXPECT_EQ(s, ListenerSettings{}) << row.name << "=" << text;
        }
    }
    ListenerSettings s;
    EXPECT_FALSE(SetListenerSetting(s, "bogus", "1"));
    EXPECT_EQ(ListenerSettingText(s, "bogus"), "");
}

TEST(ListenerSettings, QuickStepsClampRateAndVolumeAndCycleSpeech)
{
    ListenerSettings s;
    const char *rates[] = {"1.25", "1.5", "2", "2"};
    for (const char *rate : rates) {
        StepListenerSetting(s, "rate", +1);
        EXPECT_EQ(ListenerSettingText(s, "rate"), rate);
    }
    for (int i = 0; i < 8; ++i)
        StepListenerSetting(s, "rate", -1);
    EXPECT_EQ(ListenerSettingText(s, "rate"), "0.8");
    StepListenerSetting(s, "volume", +1);
    EXPECT_EQ(s.volume, kLoudest);
    for (int i = 0; i < 12; ++i)
        StepListenerSetting(s, "volume", -1);
    EXPECT_EQ(s.volume, 0);
    const char *levels[] = {"results", "silent", "all"};
    for (const char *level : levels) {
        StepListenerSetting(s, "speech", +1);
        EXPECT_EQ(ListenerSettingText(s, "speech"), level);
    }
}

} // namespace
} // namespace tallyvox

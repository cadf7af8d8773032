// SPDX-License-Identifier: GPL-3.0-or-later
// The equals key's read-out: cue order, interruption by a key pressed while a
// cue plays, and nested equals keys that end the older read-outs for good.
#include "engine/CalculatorEngine.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace tallyvox {
namespace {

// A host whose "user" presses keys while a chosen cue is playing; as in the
// window, the click is handled at the next pending-events step.
class ScriptedHost final : public EngineHost {
public:
    std::vector<std::string> cues;
    int focusCalls = 0;
    std::vector<std::string> faults;
    int followCalls = 0;
    // Index (into cues) of the synchronous cue during which to press, and the press.
    std::size_t pressDuringCue = SIZE_MAX;
    std::function<void()> press;

    void PlayCue(const std::string &name, bool async) override
    {
        cues.push_back(name);
        if (!async && cues.size() - 1 == pressDuringCue)
            pending_ = press;
    }
    void FollowCue(const std::string &name) override
    {
        ++followCalls;
        PlayCue(name, false);
    }
    void ProcessPendingEvents() override
    {
        if (auto run = std::exchange(pending_, nullptr))
            run();
    }
    void FocusInput() override { ++focusCalls; }
    void ReportFault(const std::string &message) override { faults.push_back(message); }

private:
    std::function<void()> pending_;
};

void Keys(CalculatorEngine &e, const std::string &digits)
{
    for (char c : digits) {
        if (c == '+')
            e.btnAddClick(OpAdd);
        else if (c == '.')
            e.SpbDianClick();
        else
            e.btnNum1Click(c - '0');
    }
}

TEST(ReadOut, PlaysEveryCueThenEmptiesTheLabelAndFocuses)
{
    ScriptedHost host;
    CalculatorEngine e(host);
    e.StartUp();
    Keys(e, "7+8");
    host.cues.clear();
    const int focusBefore = host.focusCalls;
    e.btnEqualClick();
    EXPECT_EQ(host.cues, (std::vector<std::string>{"等于", "1", "拾", "5"}));
    EXPECT_EQ(host.followCalls, 3) << "the number's words are queued behind 等于, not cutting it";
    EXPECT_EQ(e.DisplayText, "15");
    EXPECT_EQ(e.LabelText, "");
    EXPECT_EQ(host.focusCalls, focusBefore + 1);
    EXPECT_FALSE(e.StopReadOut);
    EXPECT_TRUE(e.StartNewNumber);
}

// The k-th read-out cue is the last one heard when a key is pressed during it.
class Interrupt : public ::testing::TestWithParam<int> {};

TEST_P(Interrupt, StopsAfterTheCueThatIsPlaying)
{
    const int k = GetParam();
    ScriptedHost host;
    CalculatorEngine e(host);
    e.StartUp();
    // F-E mode keeps the label after equals, so an interrupted read-out can
    // be seen to leave it.
    e.ExponentDisplay = true;
    Keys(e, "1+2.5");
    host.cues.clear();
    host.pressDuringCue = static_cast<std::size_t>(k); // cue 0 is "等于"
    host.press = [&] { e.btnNum1Click(9); };
    const std::string label = e.LabelText;
    ASSERT_FALSE(label.empty());
    const int focusBefore = host.focusCalls;
    e.btnEqualClick();

    // "3.5E+000": two digits, as many as "2.5" has
    const std::vector<std::string> all{"3", "10", "5", "E", "+", "0", "0", "0"};
    std::vector<std::string> expected{"等于"};
    expected.insert(expected.end(), all.begin(), all.begin() + k);
    expected.push_back("9"); // the nested key's own cue
    EXPECT_EQ(host.cues, expected);
    EXPECT_EQ(e.LabelText, label);
    EXPECT_EQ(host.focusCalls, focusBefore + 1); // only the digit key's own
    EXPECT_EQ(e.DisplayText, "9");
}

INSTANTIATE_TEST_SUITE_P(AfterCue, Interrupt, ::testing::Values(1, 2, 3, 7));

// Two equals pressed during read-outs, each with a new number: once the
// newest read-out has finished, nothing of an older number follows (the
// older read-outs went on with "拾", "3" and "拾", "5").
TEST(ReadOut, NestedEqualsEndsEveryOlderReadOutForGood)
{
    ScriptedHost host;
    CalculatorEngine e(host);
    e.StartUp();
    Keys(e, "7+8");
    host.cues.clear();
    host.pressDuringCue = 1; // during "1" of 15
    host.press = [&] {
        host.pressDuringCue = 3; // during "2" of 23
        host.press = [&] {
            host.pressDuringCue = SIZE_MAX;
            e.PasteText("46");
            e.btnEqualClick();
        };
        e.PasteText("23");
        e.btnEqualClick();
    };
    e.btnEqualClick();
    EXPECT_EQ(host.cues, (std::vector<std::string>{"等于", "1", "等于", "2", "等于", "4", "拾", "6"}));
    EXPECT_EQ(e.DisplayText, "46");
    EXPECT_FALSE(e.StopReadOut);
    EXPECT_EQ(e.LabelText, "");
}

TEST(ReadOut, RefusedEqualsReadsOnlyTheErrorCue)
{
    ScriptedHost host;
    CalculatorEngine e(host);
    e.StartUp();
    e.btnNum1Click(5);
    e.btnAddClick(OpDivide);
    host.cues.clear();
    e.btnEqualClick();
    EXPECT_EQ(host.cues, (std::vector<std::string>{"等于", "错误"}));
    EXPECT_EQ(e.DisplayText, "错误！");
    EXPECT_TRUE(host.faults.empty());
}

TEST(ReadOut, ExponentFormIsReadInFullAndCompletes)
{
    // It read nothing: NumToBigStr has no words for "1E15".
    ScriptedHost host;
    CalculatorEngine e(host);
    e.StartUp();
    e.PasteText("1E15");
    host.cues.clear();
    e.btnEqualClick();
    EXPECT_EQ(e.DisplayText, "1E15");
    EXPECT_EQ(host.cues, (std::vector<std::string>{"等于", "1", "E", "1", "5"}));
    EXPECT_FALSE(e.StopReadOut);
}

} // namespace
} // namespace tallyvox

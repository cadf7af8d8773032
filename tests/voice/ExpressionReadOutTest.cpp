// SPDX-License-Identifier: GPL-3.0-or-later
#include "tests/support/RecordingHost.h"
#include "voice/ReadOut.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace tallyvox;

namespace {

constexpr const char *ErrorText = "表达式错误，无法运算！";

using test::RecordingHost;

struct ReadOutCase {
    const char *result;
    std::vector<std::string> cues; // after "等于"
    bool error;
};

void PrintTo(const ReadOutCase &c, std::ostream *os)
{
    *os << '"' << c.result << '"';
}

class ExpressionReadOutTest : public testing::TestWithParam<ReadOutCase> {};

TEST_P(ExpressionReadOutTest, CuesMessagesAndPauses)
{
    const ReadOutCase &c = GetParam();
    RecordingHost host;
    ExpressionReadOut(c.result, host);

    std::vector<std::string> expected{"等于"};
    expected.insert(expected.end(), c.cues.begin(), c.cues.end());
    EXPECT_EQ(host.cues, expected) << "result \"" << c.result << "\"";
    EXPECT_TRUE(host.allAsync);
    if (c.error) {
        EXPECT_EQ(host.messages, (std::vector<std::pair<std::string, std::string>>{{"提示", ErrorText}}));
    } else {
        EXPECT_TRUE(host.messages.empty());
    }

    // One pause and one event step before every cue after "等于" and "负"
    // (or "错误"), and every cue after "等于" waits for the one before to end.
    const int readCues = int(c.cues.size()) - (c.cues[0] == "负" || c.cues[0] == "错误" ? 1 : 0);
    EXPECT_EQ(host.waits, std::vector<int>(readCues, 500));
    EXPECT_EQ(host.eventSteps, readCues);
    EXPECT_EQ(host.cuesAfterAnEnd, int(c.cues.size()));
}

INSTANTIATE_TEST_SUITE_P(
    Results, ExpressionReadOutTest,
    testing::Values(
        ReadOutCase{"-3.5", {"负", "3", "10", "5"}, false}, ReadOutCase{"0.25", {"0", "10", "2", "5"}, false},
        ReadOutCase{"-0.5", {"负", "0", "10", "5"}, false}, ReadOutCase{"15", {"1", "拾", "5"}, false},
        ReadOutCase{"12345678.9",
                    {"1", "仟", "2", "佰", "3", "拾", "4", "万", "5", "仟", "6", "佰", "7", "拾", "8", "10", "9"},
                    false},
        // Exponent forms are read from their first digit (they were read as "0"
        // and the fraction, or failed beyond 2^63).
        ReadOutCase{"-1.5E-5", {"负", "1", "10", "5", "E", "-", "5"}, false},
        ReadOutCase{"1E15", {"1", "E", "1", "5"}, false}, ReadOutCase{"1.5E17", {"1", "10", "5", "E", "1", "7"}, false},
        ReadOutCase{"1E19", {"1", "E", "1", "9"}, false}, ReadOutCase{"-1E19", {"负", "1", "E", "1", "9"}, false},
        // Blanks around a text result do not hide its sign (it read "负", "0").
        ReadOutCase{"  -25", {"负", "2", "拾", "5"}, false}, ReadOutCase{"007.5 ", {"7", "10", "5"}, false},
        // No finite number: the message and the error cue, nothing read (it read "0").
        ReadOutCase{"", {"错误"}, true}, ReadOutCase{"INF", {"错误"}, true}, ReadOutCase{"-INF", {"错误"}, true},
        ReadOutCase{"NAN", {"错误"}, true}, ReadOutCase{"true", {"错误"}, true}, ReadOutCase{"abc", {"错误"}, true},
        ReadOutCase{"1.5x", {"错误"}, true}, ReadOutCase{"1000000000000000000000000.5", {"错误"}, true}));

TEST(ExpressionReadOut, StopsAtOnceWhenTheMainWindowClosesBetweenCues)
{
    RecordingHost host;
    host.closeAtEventStep = 3;
    ExpressionReadOut("-12345678.9", host);
    EXPECT_EQ(host.cues, (std::vector<std::string>{"等于", "负", "1", "仟"}));
    EXPECT_EQ(host.waits.size(), 2u);
}

TEST(ExpressionReadOut, StopsAtOnceWhenTheMainWindowClosesDuringAPause)
{
    RecordingHost host;
    host.closeDuringWait = 2;
    ExpressionReadOut("12345678.9", host);
    EXPECT_EQ(host.cues, (std::vector<std::string>{"等于", "1"}));
    EXPECT_EQ(host.waits.size(), 2u);
}

TEST(ExpressionReadOut, PlaysNothingOnceAbandoned)
{
    RecordingHost host;
    host.closed = true;
    ExpressionReadOut("-3.5", host);
    EXPECT_TRUE(host.cues.empty());
    EXPECT_TRUE(host.waits.empty());
}

} // namespace

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

    // One pause and one event step before every cue after "等于" and "负".
    const int readCues = int(c.cues.size()) - (!c.cues.empty() && c.cues[0] == "负" ? 1 : 0);
    EXPECT_EQ(host.waits, std::vector<int>(readCues, 500));
    EXPECT_EQ(host.eventSteps, readCues);
}

INSTANTIATE_TEST_SUITE_P(
    Results, ExpressionReadOutTest,
    testing::Values(
        ReadOutCase{"-3.5", {"负", "3", "10", "5"}, false}, ReadOutCase{"0.25", {"0", "10", "2", "5"}, false},
        ReadOutCase{"-0.5", {"负", "0", "10", "5"}, false}, ReadOutCase{"15", {"1", "拾", "5"}, false},
        ReadOutCase{"12345678.9",
                    {"1", "仟", "2", "佰", "3", "拾", "4", "万", "5", "仟", "6", "佰", "7", "拾", "8", "10", "9"},
                    false},
        ReadOutCase{"-1.5E-5", {"负", "0", "10", "5", "E", "-", "5"}, false},
        // Whole parts of 10^15 and more have no words: only their fraction is read.
        ReadOutCase{"1E15", {"0"}, false}, ReadOutCase{"1.5E17", {"0", "10", "5", "E", "1", "7"}, false},
        ReadOutCase{"9223372036854775807", {"0"}, false}, ReadOutCase{"-9223372036854775807", {"负", "0"}, false},
        // Failures show the message and read "0" and the fraction.
        ReadOutCase{"", {"0"}, true}, ReadOutCase{"1E19", {"0"}, true}, ReadOutCase{"9223372036854775808", {"0"}, true},
        ReadOutCase{"-1E19", {"负", "0"}, true}, ReadOutCase{"INF", {"0"}, true}, ReadOutCase{"NAN", {"0"}, true},
        ReadOutCase{"abc", {"0"}, true}, ReadOutCase{"1.5x", {"0", "10", "5", "x"}, true},
        ReadOutCase{"1000000000000000000000000.5", {"0", "10", "5"}, true}));

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

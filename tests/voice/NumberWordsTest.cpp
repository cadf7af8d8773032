// SPDX-License-Identifier: GPL-3.0-or-later
#include "numbers/NumberText.h"
#include "voice/NumberWords.h"
#include "voice/ReadOut.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace tallyvox;

namespace {

struct WordsCase {
    const char *digits;
    const char *words;
};

void PrintTo(const WordsCase &c, std::ostream *os)
{
    *os << '"' << c.digits << '"';
}

class NumToBigStrTest : public testing::TestWithParam<WordsCase> {};

TEST_P(NumToBigStrTest, Words)
{
    EXPECT_EQ(NumToBigStr(GetParam().digits), GetParam().words) << "digits " << GetParam().digits;
}

INSTANTIATE_TEST_SUITE_P(
    Documented, NumToBigStrTest,
    testing::Values(WordsCase{"", ""}, WordsCase{"0", ""}, WordsCase{"5", "5"}, WordsCase{"10", "1拾"},
                    WordsCase{"15", "1拾5"}, WordsCase{"101", "1佰01"}, WordsCase{"110", "1佰1拾"},
                    WordsCase{"1001", "1仟01"}, WordsCase{"10010", "1万01拾"}, WordsCase{"100000", "1拾万"},
                    WordsCase{"305000", "3拾万5仟"}, WordsCase{"100000000", "1亿"}, WordsCase{"100000001", "1亿01"},
                    WordsCase{"101000000", "1亿01佰万"}, WordsCase{"100200300", "1亿02拾万03佰"},
                    WordsCase{"1000000000000", "1兆"}, WordsCase{"1000000000001", "1兆01"},
                    WordsCase{"123456789012", "1仟2佰3拾4亿5仟6佰7拾8万9仟01拾2"},
                    WordsCase{"99999999999999999999", "9仟9佰9拾9京9仟9佰9拾9兆9仟9佰9拾9亿9仟9佰9拾9万9仟9佰9拾9"},
                    WordsCase{"1E15", ""}));

// A group of four zeros inside the number is read as one zero, also when the
// next group starts with a non-zero digit.
INSTANTIATE_TEST_SUITE_P(
    ZeroGroups, NumToBigStrTest,
    testing::Values(WordsCase{"100004000", "1亿04仟"}, WordsCase{"200003040", "2亿03仟04拾"},
                    WordsCase{"100000040", "1亿04拾"}, WordsCase{"10000", "1万"},  // last group
                    WordsCase{"12340000", "1仟2佰3拾4万"},                         // last group
                    WordsCase{"1000010000000", "1兆01仟万"},                       // 亿 group
                    WordsCase{"1000000001000", "1兆01仟"},                         // 亿 and 万 groups
                    WordsCase{"1000000000010", "1兆01拾"},                         // 亿 and 万, next starts with 0
                    WordsCase{"10000100000000000", "1京01仟亿"},                   // 兆 group
                    WordsCase{"10000111100001111", "1京01仟1佰1拾1亿01仟1佰1拾1"}, // 兆 and 万 groups
                    WordsCase{"10000000000000000", "1京"},                         // every group after 京
                    WordsCase{"10000000000000001", "1京01"},
                    WordsCase{"12345678901234567890", "1仟2佰3拾4京5仟6佰7拾8兆9仟01拾2亿3仟4佰5拾6万7仟8佰9拾"},
                    WordsCase{"20000000000000000000", "2仟京"},
                    WordsCase{"10203040506070809", "1京02佰03兆04佰05亿06佰07万08佰09"}));

// Texts the callers never pass: never a crash, only "" or a reading.
INSTANTIATE_TEST_SUITE_P(NotDigits, NumToBigStrTest,
                         testing::Values(WordsCase{"-5", ""}, WordsCase{" 12", ""}, WordsCase{"1.5", ""},
                                         WordsCase{"12a4", ""}, WordsCase{"+123", ""}, WordsCase{"１２", ""},
                                         WordsCase{"\xff\xfe", ""}, WordsCase{"1亿", ""}, WordsCase{"0000", ""},
                                         WordsCase{"00000001", "1"}));

TEST(NumToBigStr, MoreThanTwentyCharactersIsTooLong)
{
    for (const std::string &text :
         {std::string(21, '1'), std::string("1") + std::string(20, '0'), std::string(21, 'x'), std::string(100, '9')}) {
        try {
            NumToBigStr(text);
            ADD_FAILURE() << "no error for " << text;
        } catch (const CalcError &e) {
            EXPECT_STREQ(e.what(), "数据太长，无法转换");
        }
    }
    // Length is counted in characters, not bytes.
    std::string twenty, twentyOne;
    for (int i = 0; i < 20; ++i)
        twenty += "拾";
    twentyOne = twenty + "拾";
    EXPECT_EQ(NumToBigStr(twenty), "");
    EXPECT_THROW(NumToBigStr(twentyOne), CalcError);
}

TEST(CueNamesOf, SplitsIntoCharactersWithThePointAsTen)
{
    EXPECT_EQ(CueNamesOf("1亿02拾"), (std::vector<std::string>{"1", "亿", "0", "2", "拾"}));
    EXPECT_EQ(CueNamesOf("负.5E-1"), (std::vector<std::string>{"负", "10", "5", "E", "-", "1"}));
    EXPECT_EQ(CueNamesOf(".."), (std::vector<std::string>{"10", "10"}));
    EXPECT_TRUE(CueNamesOf("").empty());
}

TEST(CueNamesOf, MalformedTextLosesNoBytes)
{
    const std::string text = "\x80"
                             "a\xe4\xb8"
                             "1\xff";
    std::string joined;
    for (const std::string &name : CueNamesOf(text))
        joined += name;
    EXPECT_EQ(joined, text);
}

struct ReadOutCase {
    const char *display;
    bool nonNegative;
    std::vector<std::string> cues;
};

void PrintTo(const ReadOutCase &c, std::ostream *os)
{
    *os << '"' << c.display << '"';
}

class MainReadOutTest : public testing::TestWithParam<ReadOutCase> {};

TEST_P(MainReadOutTest, Cues)
{
    const ReadOutCase &c = GetParam();
    EXPECT_EQ(CueNamesOf(MainReadOutText(c.display, c.nonNegative)), c.cues) << "display " << c.display;
}

INSTANTIATE_TEST_SUITE_P(
    Displays, MainReadOutTest,
    testing::Values(
        ReadOutCase{"15", true, {"1", "拾", "5"}}, ReadOutCase{"-2.5", false, {"负", "2", "10", "5"}},
        ReadOutCase{"0.5", true, {"0", "10", "5"}}, ReadOutCase{"0", true, {"0"}},
        ReadOutCase{"-0.5", false, {"负", "0", "10", "5"}}, // 负零点五, as 0.5 is 零点五 (was 负点五)
        ReadOutCase{"1.3E+001", true, {"1", "10", "3", "E", "+", "0", "0", "1"}},
        ReadOutCase{"100200300", true, {"1", "亿", "0", "2", "拾", "万", "0", "3", "佰"}},
        // Exponent forms are read in full (they read nothing, or only "负").
        ReadOutCase{"1E15", true, {"1", "E", "1", "5"}}, ReadOutCase{"-1E-5", false, {"负", "1", "E", "-", "5"}},
        ReadOutCase{"1.23456789012346E17",
                    true,
                    {"1", "10", "2", "3", "4", "5", "6", "7", "8", "9", "0", "1", "2", "3", "4", "6", "E", "1", "7"}},
        ReadOutCase{"-1.5E-007", false, {"负", "1", "10", "5", "E", "-", "0", "0", "7"}},
        ReadOutCase{"-100004000", false, {"负", "1", "亿", "0", "4", "仟"}},
        ReadOutCase{"0.333333333333333",
                    true,
                    {"0", "10", "3", "3", "3", "3", "3", "3", "3", "3", "3", "3", "3", "3", "3", "3", "3"}}));

TEST(MainReadOutText, TooLongIntegerPartRaises)
{
    EXPECT_THROW(MainReadOutText(std::string(21, '9') + ".5", true), CalcError);
    EXPECT_THROW(MainReadOutText("-" + std::string(21, '9'), false), CalcError);
}

} // namespace

// SPDX-License-Identifier: GPL-3.0-or-later
// Key sequences through the engine and the scientific keys, one line a case:
// keys pressed, then the display (and where it matters the label, memory
// indicator, cues or messages) they must leave.
#include "tape/TapeEntry.h"
#include "tools/keys/KeyDriver.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <regex>
#include <set>
#include <sstream>

namespace tallyvox {
namespace {

std::vector<std::string> Split(const std::string &keys)
{
    std::istringstream in(keys);
    std::vector<std::string> out;
    for (std::string k; in >> k;)
        out.push_back(k);
    return out;
}

struct Case {
    const char *keys;
    const char *display;
    std::optional<const char *> label = std::nullopt;
    std::optional<const char *> memory = std::nullopt;
};

std::ostream &operator<<(std::ostream &os, const Case &c)
{
    return os << "[" << c.keys << "]";
}

// One sandboxed script engine for the whole run; programs live in TALLYVOX_BIN.
ScriptEvaluator &Script()
{
    static ScriptEvaluator script = [] {
        const char *bin = std::getenv("TALLYVOX_BIN");
        return bin ? ScriptEvaluator(std::filesystem::path(bin) / "tallyvox-script") : ScriptEvaluator();
    }();
    return script;
}

class KeySequence : public ::testing::TestWithParam<Case> {};

KeyRecord Press(KeyDriver &driver, const std::string &keys)
{
    KeyRecord record;
    for (const std::string &k : Split(keys))
        EXPECT_TRUE(driver.RunKey(k, &record)) << k;
    return record;
}

TEST_P(KeySequence, LeavesDisplayLabelAndMemory)
{
    const Case &c = GetParam();
    KeyDriver driver(Script());
    Press(driver, c.keys);
    EXPECT_EQ(driver.Engine().DisplayText, c.display);
    if (c.label)
        EXPECT_EQ(driver.Engine().LabelText, *c.label);
    if (c.memory)
        EXPECT_EQ(driver.Engine().MemoryIndicator, *c.memory);
}

INSTANTIATE_TEST_SUITE_P(
    NumberEntry, KeySequence,
    ::testing::Values(Case{"0", "0"}, Case{"5", "5"}, Case{"1 2 0", "120"}, Case{". 0", "0.0"},
                      Case{". 5 sign back back 3", "3"}, // "-0" loses its sign
                      Case{"5 sign back", "-"}, Case{"5 sign back 0", "-"}, Case{"5 sign back 7", "-7"},
                      Case{"1 1 1 1 1 1 1 1 1 1 1 1 1 1 1 1 1 1 1 1 1 1 1 1 1 1 1 1 1 1 2",
                           "111111111111111111111111111111"},
                      // The point begins a number after a result, an operator or an
                      // error, as a digit does (it used to append: 7 + . 5 = gave 12).
                      Case{"3 + 5 = .", "0."}, Case{"3 + 5 = . 5", "0.5"}, Case{"7 + . 5 =", "7.5"},
                      Case{"1 / 0 = . 5", "0.5"}, Case{"5 back", "0"}, Case{"back", "0"}, Case{". 5 back", "0."},
                      Case{"5 sign", "-5"}, Case{"5 sign sign", "5"}, Case{"sign", "0"}, Case{"5 sign back sign", ""},
                      Case{"5 sign back sign 1", "1"}, Case{"5 sign back sign 0", ""}, Case{"5 + CE", "0", ""},
                      Case{"5 + CE 3 =", "3"}, Case{"5 + 3 C", "0", "5+"}, Case{"5 + 3 C 2 =", "7"},
                      Case{"5 / 0 = back", "0"} /* the error goes as a whole (was "错误") */));

INSTANTIATE_TEST_SUITE_P(
    Operators, KeySequence,
    ::testing::Values(
        Case{"7 + 8 =", "15", ""}, Case{"2 + 3 * 4 =", "20"}, Case{"5 + =", "5"}, Case{"1 / 3 =", "0.333333333333333"},
        Case{"2 / 3 =", "0.666666666666667"}, Case{"5 + = *", "5", "0*"}, Case{"5 + = * 3 =", "0"},
        Case{"5 + *", "0", "5*"},
        Case{"5 + * =", "0"}, // An error at equals ends the calculation: label, operation and operand go
        // (the failed division went on: 5 / = 2 = was 2.5).
        Case{"5 / =", "错误！", ""}, Case{"5 / = 2 =", "2"}, Case{"5 / 0 = C 2 =", "2"}, Case{"1 / 0 = 5 + 2 =", "7"},
        Case{"8 / 0 = 3 * 2 =", "6"}, Case{"F-E 8 / 0 = 3 * 2 =", "6.0E+000"},
        // The error is no number: operators, equals and function keys on it change nothing
        // (they computed with it as 0).
        Case{"6 * 6 sign ln =", "错误！", "6*"}, Case{"6 + 0 1/x =", "错误！", "6+"}, Case{"6 * 5 asin =", "错误！"},
        Case{"6 * 6 sign sqrt =", "错误！"}, Case{"1 / 0 = + - * / Mod Exp x^y y-root F-E", "错误！", ""},
        Case{"1 / 0 = % 1/x sqrt sign Int ln Log n! x^2 x^3 10^x cbrt sin tanh atan", "错误！"},
        Case{"5 MS 1 / 0 = M+ M- MS MR", "5", std::nullopt, "M"}, Case{"9 sign sqrt 4 + 1 =", "5"},
        // A number typed or recalled after a function key's error replaces it; the operation goes on.
        Case{"6 + 0 1/x 5 =", "11"}, Case{"6 + 0 1/x . 5 =", "6.5"}, Case{"3 MS 6 + 0 ln MR =", "9"},
        Case{"6 + 0 1/x paste:4 =", "10"},
        // An error at an operator key stays in sight (not "0"), and equals ends
        // that chain in the error, not on the operand typed after it.
        Case{"5 / 0 +", "错误！", "5+"}, Case{"5 / 0 + 3 =", "错误！"},
        // The failed chain was cleared by its equals: this one adds 0 + 0.
        Case{"5 / 0 + 3 = =", "错误！"} /* the second equals repeats the error (was "0") */,
        Case{"5 / 0 = 2 =", "2"} /* a new calculation (was 2.5) */, Case{"5 / 0 + 2 + 3 =", "错误！"},
        Case{"5 / 0 + 2 CE 3 =", "3"}, Case{"5 / 0 + 2 = 3 + 4 =", "7"}, Case{"F-E 5 / 0 + 2 =", "错误！"},
        // A fault at each operator code that can fail (F-E, code 6, computes nothing).
        Case{"paste:1E4932 + 1 paste:1E4932 + 1 =", "错误！"}, Case{"paste:-1E4932 - 1 paste:1E4932 + 1 =", "错误！"},
        Case{"paste:1E4000 * 1 paste:1E4000 + 1 =", "错误！"}, Case{"5 / 0 + 2 =", "错误！"},
        Case{"7 Mod 0 + 2 =", "错误！"}, Case{"1 Exp 9 9 9 9 sign / 1 0 =", "错误！"},
        Case{"0 x^y 1 sign + 2 =", "错误！"}, Case{"8 y-root 0 * 2 =", "错误！"}, Case{"7 Mod 3 =", "1"},
        Case{"7 sign Mod 3 =", "-1"}, Case{"7 . 5 Mod 2 =", "1.5"}, Case{"7 Mod", "0", "7Mod"},
        Case{"7 Mod 0 =", "错误！"}, Case{"2 Exp 3 =", "2000"}, Case{"2 x^y 1 0 =", "1024"}, Case{"2 x^y", "0", "2^"},
        Case{"2 7 y-root 3 =", "3"}, Case{"8 y-root", "0", "8√"}, Case{"8 y-root 0 =", "错误！"},
        Case{"8 sign x^y 0 . 5 =", "错误！"}, Case{"8 sign x^y . 5 =", "错误！"}, // ". 5" is 0.5 here too
        // Real roots: an odd whole root of a negative number is negative (was an error); even or
        // fractional roots of one are errors; xʸ keeps its own rule.
        Case{"2 7 sign y-root 3 =", "-3"}, Case{"3 2 sign y-root 5 =", "-2"}, Case{"1 6 sign y-root 2 =", "错误！"},
        Case{"8 sign y-root . 5 =", "错误！"}, Case{"2 7 sign y-root 3 sign =", "-0.333333333333333"},
        Case{"8 sign x^y 3 =", "-512"}, Case{"0 x^y 1 sign =", "错误！"},
        Case{"F-E + 1 2 . 5 *", "12.5", "1.25E+001 *"}, Case{"F-E + 1 2 . 5 =", "1.25E+001"},
        Case{"paste:1E4000 * paste:1E4000 =", "错误！"},
        Case{"paste:1E4000 * 1 paste:1E4000 +", "错误！", "1E4000+"}, // the fault stays in sight
        Case{"paste:1E4000 * paste:1E4000 +", "错误！", "1E4000+"},   // a pasted number is the operand (was ignored)
        // A Mod quotient outside the signed 64-bit range is a fault, not UB.
        Case{"paste:1E30 Mod 3 =", "错误！"}, Case{"paste:-1E30 Mod paste:1E-3 =", "错误！"},
        // A refused paste leaves the display as it was.
        Case{"paste:abc + 2 =", "2"}, Case{"2 * paste:1,000 =", "2000"}, Case{"paste:x Mod 2 =", "0"}));

INSTANTIATE_TEST_SUITE_P(
    PercentRootMemory, KeySequence,
    ::testing::Values(Case{"2 0 0 + 1 0 %", "20"}, Case{"2 0 0 + 1 0 % =", "220"}, Case{"2 0 0 * 1 0 % =", "4000"},
                      Case{"5 0 %", "0"}, Case{"4 1/x", "0.25"}, Case{"3 1/x", "0.333333333333333"},
                      Case{"1/x", "错误！"},      // 1/0 is an error, not the operand left on the display
                      Case{"5 + 0 1/x 2 =", "7"}, // the pending operation survives it
                      Case{"1 6 sqrt", "4"}, Case{"2 sqrt", "1.4142135623731"}, Case{"sqrt", "0"},
                      Case{"4 sign sqrt", "错误！"} /* was the operand left behind */,
                      Case{"MC MS", "0", std::nullopt, ""}, Case{". 0 MS", "0.0", std::nullopt, "M"},
                      Case{"5 M+ MR", "5", std::nullopt, "M"}, // M+ starts an empty memory
                      Case{"5 MS 3 M+ MR", "8", std::nullopt, "M"},
                      Case{"5 MS 5 M- 3 M+ MR", "3", std::nullopt, "M"}, // M+ goes on from a memory of 0
                      Case{"1 0 0 1 M+ MR", "1001", std::nullopt, "M"}, Case{"5 M- MR", "-5", std::nullopt, "M"},
                      Case{"5 M- MC", "5", std::nullopt, ""}, Case{"0 M+", "0", std::nullopt, "M"},
                      Case{"5 MS MC", "5", std::nullopt, ""}, Case{"3 MS C 5 + MR =", "8"}, Case{"3 MS 4 MR 2", "2"}));

INSTANTIATE_TEST_SUITE_P(
    Keyboard, KeySequence,
    ::testing::Values(Case{"vk:97 vk:107 vk:50 vk:13", "3"}, Case{"vk:49 vk:187 vk:50 vk:187", "0", "3+"},
                      Case{"vk:56", "8"}, Case{"vk:104 vk:57 vk:105", "899"}, Case{"vk:54 vk:106 vk:55 vk:13", "42"},
                      Case{"vk:57 vk:109 vk:52 vk:189", "0", "5-"}, Case{"vk:56 vk:111 vk:50 vk:191", "0", "4/"},
                      Case{"vk:49 vk:190 vk:53 vk:110", "1.5"}, Case{"vk:49 vk:50 vk:8", "1"},
                      Case{"5 + 3 vk:113", "0", "5+"}, Case{"5 + 3 vk:112", "0", ""},
                      Case{"5 vk:65 vk:27 vk:46 vk:106", "0", "5*"},
                      // Reading again leaves the calculation as it was.
                      Case{"1 2 say 3", "123"}, Case{"5 + say status", "0", "5+"}, Case{"7 + 8 = say +", "0", "15+"}));

INSTANTIATE_TEST_SUITE_P(
    Trigonometry, KeySequence,
    ::testing::Values(
        Case{"3 0 sin", "0.5"}, Case{"4 5 tan", "1"}, Case{"rad 1 sin", "0.841470984807897"},
        Case{"rad 1 cos", "0.54030230586814"}, Case{"rad . 5 asin", "0.523598775598299"}, Case{"rad 2 asin", "错误！"},
        Case{"grad 1 0 0 sin", "1"}, Case{"grad 1 0 sinh", "4051.54190208279"},
        Case{"grad 1 0 cosh", "4051.54202549259"}, Case{"1 sinh", "1.1752011936438"},
        Case{"rad 1 sinh", "1.1752011936438"}, Case{"1 cosh", "1.54308063481524"}, Case{"1 tanh", "0.761594155955765"},
        // The inverse keys answer in the chosen unit (they answered in radians).
        Case{". 5 asin", "30"}, Case{"1 atan", "45"}, Case{"5 / 0 = acos", "错误！"} /* the error is no 0 */,
        Case{"1 asin", "90"}, Case{"1 sign asin", "-90"}, Case{"1 acos", "0"}, Case{"1 sign acos", "180"},
        Case{"grad 1 atan", "50"}, Case{"grad 1 sign asin", "-100"}, Case{"1 . 0 0 0 0 0 0 0 0 0 1 asin", "错误！"},
        Case{"1 . 0 0 0 1 sign acos", "错误！"}, Case{"6 0 asin", "错误！"}, Case{"3 0 rad", "30"},
        Case{"2 * 3 0 sin =", "1"}, Case{"5 / 0 = sin", "错误！"}, Case{"5 / 0 = cos", "错误！"},
        Case{"5 / 0 = cosh", "错误！"}, // was 0, 1, 1
        Case{"1 2 0 0 0 sinh", "错误！"}, Case{"1 2 0 0 0 cosh", "错误！"},
        // tanh is ±1 long before e^a overflows (it faulted).
        Case{"1 2 0 0 0 tanh", "1"}, Case{"2 0 0 0 0 tanh", "1"}, Case{"2 0 0 0 0 sign tanh", "-1"},
        Case{"1 1 3 5 6 sinh", "3.52457289999283E4931"}, Case{"rad 1 acos", "0"},
        // Exact angles are exact (100 grads gave -2.5E-20).
        Case{"grad 1 0 0 cos", "0"}, Case{"grad 2 0 0 sin", "0"}, Case{"grad 5 0 tan", "1"}, Case{"1 8 0 sin", "0"},
        Case{"9 0 cos", "0"}, Case{"1 8 0 cos", "-1"}, Case{"5 4 0 sign sin", "0"}, Case{"9 0 tan", "错误！"},
        Case{"grad 1 0 0 tan", "错误！"}, Case{"1 3 5 tan", "-1"}, Case{"3 9 0 sin", "0.5"},
        Case{"rad pi sin", "3.23846172363808E-15"})); // no exact angles in radians

// Whole multiples of a quarter turn, 90·k degrees and 100·k grads, k = -5…5.
TEST(ExactAngles, QuarterTurnsAreExactInDegreesAndGrads)
{
    struct Row {
        int k;
        const char *sin, *cos, *tan;
    };
    const Row rows[] = {{-5, "-1", "0", "错误！"}, {-4, "0", "1", "0"}, {-3, "1", "0", "错误！"}, {-2, "0", "-1", "0"},
                        {-1, "-1", "0", "错误！"}, {0, "0", "1", "0"},  {1, "1", "0", "错误！"},  {2, "0", "-1", "0"},
                        {3, "-1", "0", "错误！"},  {4, "0", "1", "0"},  {5, "1", "0", "错误！"}};
    KeyDriver driver(Script());
    for (const char *mode : {"deg", "grad"}) {
        Press(driver, mode);
        const int quarter = std::string(mode) == "deg" ? 90 : 100;
        for (const Row &row : rows) {
            for (const auto &[key, expected] : {std::pair{"sin", row.sin}, {"cos", row.cos}, {"tan", row.tan}}) {
                Press(driver, "paste:" + std::to_string(row.k * quarter) + " " + key);
                EXPECT_EQ(driver.Engine().DisplayText, expected) << mode << " " << key << " " << row.k * quarter;
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Functions, KeySequence,
    ::testing::Values(
        Case{"2 . 7 sign Int", "-2"}, Case{"3 . 9 9 Int", "3"}, Case{"1 ln", "0"}, Case{"1 0 ln", "2.30258509299405"},
        // Logarithms of x <= 0 are errors; the operand is no longer left as if it were the answer.
        Case{"0 ln", "错误！"}, Case{"1 sign ln", "错误！"}, Case{"0 Log", "错误！"}, Case{"1 sign Log", "错误！"},
        Case{"5 + 0 ln", "错误！", "5+"}, Case{"5 + 0 ln 3 =", "8"}, Case{"1 0 0 0 Log", "3"},
        Case{"2 Log", "0.301029995663981"}, Case{"5 n!", "120"}, Case{"0 n!", "1"},
        Case{"3 sign n!", "错误！"} /* no factorial (was 1) */, Case{". 3 sign n!", "错误！"}, Case{"2 . 5 n!", "6"},
        Case{"4 . 4 n!", "24"}, Case{"1 2 n!", "479001600"}, Case{"1 3 n!", "6227020800"},
        Case{"1 7 5 4 n!", "1.97926189010501E4930"}, Case{"pi", "3.14159265358979"}, Case{"1 . 5 x^2", "2.25"},
        Case{"3 sign x^2", "9"}, Case{"1 2 3 4 5 6 7 8 9 x^2", "1.52415787501905E16"}, Case{"2 sign x^3", "-8"},
        Case{"2 10^x", "100"}, Case{". 5 10^x", "3.16227766016838"}, Case{"2 sign 10^x", "0.01"},
        // Beyond the script's doubles the 80 bits answer (was "INF", read on as 0); beyond those, an error.
        Case{"1 5 10^x", "1E15"}, Case{"4 0 0 10^x", "1E400"}, Case{"5 0 0 0 10^x", "错误！"},
        Case{"1 0 x^y 2 0 0 = sign x^3", "-1E600"}, Case{"5 / 0 = 10^x", "错误！"}, Case{"5 / 0 = x^2", "错误！"},
        // Script text can no longer be pasted into the statement (was an error from the script).
        Case{"paste: x^2", "0"}, Case{"paste:1);while(1){}// x^2", "0"}, Case{"paste:1);for(;;){}// 10^x", "1"},
        Case{"5 sign back x^2", "错误！"}, Case{"2 7 cbrt", "3"}, Case{"2 cbrt", "1.25992104989487"}, Case{"cbrt", "0"},
        Case{"8 sign cbrt", "-2"} /* the real root (was refused) */, Case{"2 7 sign cbrt", "-3"},
        Case{"3 Exp 4 =", "30000"}, Case{"1 2 3 4 5 F-E", "0", "1.2345E+004 "}, Case{"1 2 3 4 5 F-E F-E", "12345", ""},
        Case{"4 0 0 10^x + 1 =", "1E400"})); // was 1: "INF" read as 0

// Cues and message boxes asked for by whole sequences.
struct CueCase {
    const char *keys;
    std::vector<std::string> cues;
    std::vector<std::string> messages = {};
};

std::ostream &operator<<(std::ostream &os, const CueCase &c)
{
    return os << "[" << c.keys << "]";
}

class KeyCues : public ::testing::TestWithParam<CueCase> {};

TEST_P(KeyCues, AskForExactlyTheseCuesAndMessages)
{
    KeyDriver driver(Script());
    const KeyRecord record = Press(driver, GetParam().keys);
    EXPECT_EQ(record.cues, GetParam().cues);
    std::vector<std::string> texts;
    for (const auto &m : record.messages)
        texts.push_back(m.caption + "|" + m.text);
    EXPECT_EQ(texts, GetParam().messages);
}

INSTANTIATE_TEST_SUITE_P(
    All, KeyCues,
    ::testing::Values(
        CueCase{"7 + 8 =", {"7", "加", "8", "等于", "1", "拾", "5"}},
        CueCase{"5 sign . 5 sign = ", {"5", "负", "10", "5", "正", "等于", "5", "10", "5"}}, CueCase{"sign", {}},
        CueCase{"back C CE .", {"退位", "归零", "清除", "10"}},
        CueCase{"1 - 2 * 3 / 4 Mod 5 Exp x^y y-root",
                {"1", "减", "2", "乘", "3", "除", "4", "取余", "5", "", "N次方", "开N次方"}},
        CueCase{"5 / =", {"5", "除", "等于", "错误"}}, CueCase{"7 / 0 =", {"7", "除", "0", "等于", "错误"}},
        CueCase{"5 / 0 + 2 =", {"5", "除", "0", "加", "错误", "2", "等于", "错误"}},
        CueCase{"0 ln 1/x 9 0 tan", {"0", "对数", "错误", "导数", "错误", "9", "0", "tan", "错误"}},
        CueCase{"1 0 0 0 0 0 0 0 0 * 1 0 0 0 0 0 0 0 =",
                {"1", "0", "0", "0", "0", "0", "0",    "0", "0", "乘", "1", "0",
                 "0", "0", "0", "0", "0", "0", "等于", "1", "E", "1",  "5"}},
        CueCase{"1 sign Exp 5 sign =", {"1", "负", "", "5", "负", "等于", "负", "1", "E", "-", "5"}},
        CueCase{"pi =",
                {"派", "等于", "3", "10", "1", "4", "1", "5", "9", "2", "6", "5", "3", "5", "8", "9", "7", "9"}},
        // Below 1 a negative number is read with its 零, as a positive one is (was 负点四).
        CueCase{"2 / 5 sign =", {"2", "除", "5", "负", "等于", "负", "0", "10", "4"}},
        CueCase{". 5 sign =", {"10", "5", "负", "等于", "负", "0", "10", "5"}},
        CueCase{"1 0 0 2 0 0 3 0 0 =",
                {"1", "0", "0", "2", "0", "0", "3", "0", "0", "等于", "1", "亿", "0", "2", "拾", "万", "0", "3", "佰"}},
        CueCase{"F-E + 1 2 . 5 =",
                {"", "加", "1", "2", "10", "5", "等于", "1", "10", "2", "5", "E", "+", "0", "0", "1"}},
        CueCase{"F-E F-E", {""}},
        // 1/x of 0 is an error, and √ on that error repeats it (it took the error as 0).
        CueCase{"% 1/x sqrt MC MR MS M+ M-", {"百分号", "导数", "错误", "开方", "错误", "MC", "MR", "MS", "M+", "M-"}},
        // asin answers in degrees now, and acos of its 1.0000... is an error.
        CueCase{"sin cos tan sinh cosh tanh asin acos atan",
                {"sin", "cos", "tan", "", "", "", "asin", "acos", "错误", "atan", "错误"}}, // atan on the error too
        CueCase{"deg rad rad grad deg", {"弧度制", "梯度制", "角度制"}},
        // From 2, since the logarithms of 0 are errors; n! of log 0.69 < 0 is one too.
        CueCase{"2 Int ln Log n! pi x^2 x^3 10^x cbrt",
                {"2", "取整", "对数", "log", "累乘", "错误", "派", "平方", "立方", "10N次方", "开立方"}},
        // A refused key after an error: its own cue, then the error's.
        CueCase{"5 / 0 = = + MS", {"5", "除", "0", "等于", "错误", "等于", "错误", "加", "错误", "MS", "错误"}},
        // A function key's fault is "错误！" and its cue, never a message box (was an English box).
        CueCase{"4 sign sqrt", {"4", "负", "开方", "错误"}}, CueCase{"8 sign cbrt", {"8", "负", "开立方"}},
        CueCase{"1 7 5 5 n!", {"1", "7", "5", "5", "累乘", "错误"}}, CueCase{"paste:1E18 n!", {"累乘", "错误"}},
        CueCase{"5 / 0 = n!", {"5", "除", "0", "等于", "错误", "累乘", "错误"}},
        CueCase{"paste:1E-4940 1/x", {"导数", "错误"}},
        CueCase{"1 1 3 5 7 sinh", {"1", "1", "3", "5", "7", "", "错误"}},
        CueCase{"paste:1.1E4932 M+ M+ M+", {"M+", "M+", "错误", "M+", "错误"}}, // memory overflow, then M+ on the error
        CueCase{"paste:1,5 n!", {"错误", "累乘"}}, // a refused paste is heard, then 0! is 1
        CueCase{"expr:1+2", {"等于", "3"}}, CueCase{"expr:-2.25", {"等于", "负", "2", "10", "2", "5"}},
        CueCase{"expr:2^3", {"等于", "8"}}, CueCase{"expr:LN(1)", {"等于", "0"}},
        CueCase{"expr:Abs(-4) expr:1/3", {"等于", "4", "等于", "0", "10", "3", "3", "3", "3", "3",
                                          "3",    "3", "3",    "3", "3",  "3", "3", "3", "3", "3"}},
        // No value is heard as the error, not as "0".
        CueCase{"expr:1/0", {"等于", "错误"}, {"提示|表达式错误，无法运算！"}},
        CueCase{"expr:while(1){}", {"等于", "错误"}, {"提示|表达式错误，无法运算！"}},
        CueCase{"1 2 say", {"1", "2", "1", "拾", "2"}},
        CueCase{". 5 sign say", {"10", "5", "负", "负", "0", "10", "5"}},
        CueCase{"7 + 8 = say", {"7", "加", "8", "等于", "1", "拾", "5", "1", "拾", "5"}},
        // Typed digits beyond what the number words reach are read one by one.
        CueCase{"paste:-123456789012345678901 say", {"负", "1", "2", "3", "4", "5", "6", "7", "8", "9", "0",
                                                     "1",  "2", "3", "4", "5", "6", "7", "8", "9", "0", "1"}},
        // The listener's settings: what speaks, function results, shorter results.
        CueCase{"set:speech=results 7 + 8 = 1 / 0 =", {"等于", "1", "拾", "5", "等于", "错误"}},
        CueCase{"set:speech=results 1 2 say status", {"1", "拾", "2", "无记忆", "角度制", "加强型"}},
        CueCase{"set:speech=silent 7 + 8 = 0 1/x say expr:1+2", {}}, CueCase{"set:mute=on 7 + 8 = expr:1+2", {}},
        CueCase{"set:volume=0 7 say", {}}, CueCase{"set:rate=2 set:volume=3 7", {"7"}},
        CueCase{"set:readfunctions=on 1 6 sqrt", {"1", "6", "开方", "4"}},
        CueCase{"set:readfunctions=on 5 MS 1 / 4 = MR",
                {"5", "MS", "1", "除", "4", "等于", "0", "10", "2", "5", "MR", "5"}},
        CueCase{"set:readfunctions=on 0 1/x paste:12 paste:x", {"0", "导数", "错误", "1", "拾", "2", "错误"}},
        CueCase{"set:readfunctions=on set:speech=results 9 0 sin", {"1"}},
        CueCase{"set:digits=4 1 / 3 =", {"1", "除", "3", "等于", "0", "10", "3", "3", "3", "3"}},
        CueCase{"set:digits=4 2 0 0 0 0 0 / 3 =", // 66666.67 read as 66670
                {"2", "0", "0", "0", "0", "0", "除", "3", "等于", "6", "万", "6", "仟", "6", "佰", "7", "拾"}},
        CueCase{"set:digits=2 pi say", {"派", "3", "10", "1"}},
        CueCase{"set:digits=4 1 2 say", {"1", "2", "1", "拾", "2"}},
        CueCase{"status", {"无记忆", "角度制", "加强型"}}, // and the angle unit and view (were not said)
        CueCase{"rad status", {"弧度制", "无记忆", "弧度制", "加强型"}},
        CueCase{"1 2 + status", {"1", "2", "加", "1", "拾", "2", "加", "无记忆", "角度制", "加强型"}},
        CueCase{"5 MS 2 sign / status", {"5", "MS", "2", "负", "除", "负", "2", "除", "记忆", "5", "角度制", "加强型"}},
        CueCase{"F-E + 1 2 . 5 * status", {"",  "加", "1", "2", "10", "5", "乘", "1",      "10",     "2",
                                           "5", "E",  "+", "0", "0",  "1", "乘", "无记忆", "角度制", "加强型"}},
        CueCase{"paste:123456789012345678901234 =", {"等于", "1", "10", "2", "3", "4", "5", "6", "7", "8",
                                                     "9",    "0", "1",  "2", "3", "4", "6", "E", "2", "3"}}));

// The tape: what each kind of calculation leaves on it (its lines, oldest
// first) and the cues its keys ask for (from where the keys were pressed).
struct TapeCase {
    const char *keys;
    std::vector<std::string> lines;
    const char *tapeKeys = "";
    std::vector<std::string> cues = {};
    const char *display = nullptr;
};

std::ostream &operator<<(std::ostream &os, const TapeCase &c)
{
    return os << "[" << c.keys << " | " << c.tapeKeys << "]";
}

class TapeSequence : public ::testing::TestWithParam<TapeCase> {};

TEST_P(TapeSequence, KeepsTheseLinesAndSaysTheseCues)
{
    const TapeCase &c = GetParam();
    KeyDriver driver(Script());
    Press(driver, c.keys);
    const std::string before = driver.Engine().DisplayText;
    const KeyRecord record = Press(driver, c.tapeKeys);
    std::vector<std::string> lines;
    for (const TapeEntry &entry : driver.GetTape().Entries())
        lines.push_back(EntryText(entry.calculation));
    EXPECT_EQ(lines, c.lines);
    if (*c.tapeKeys)
        EXPECT_EQ(record.cues, c.cues);
    EXPECT_EQ(driver.Engine().DisplayText, c.display ? c.display : before);
}

INSTANTIATE_TEST_SUITE_P(
    Entries, TapeSequence,
    ::testing::Values(
        TapeCase{"1 2 + 3 * 2 =", {"12 + 3 × 2 = 30"}}, TapeCase{"2 sqrt * 3 =", {"√2 × 3 = 4.2426406871193"}},
        TapeCase{"3 0 sin + 1 =", {"sin 30 + 1 = 1.5"}}, TapeCase{"2 sqrt x^2 =", {"(√2)² = 2.00000000000001"}},
        TapeCase{"1 6 sqrt sqrt 1/x =", {"1/√√16 = 0.5"}}, TapeCase{"5 n! - 1 =", {"5! - 1 = 119"}},
        // Percent and memory recall are the values they produced.
        TapeCase{"2 0 0 + 1 0 % =", {"200 + 20 = 220"}}, TapeCase{"4 MS C 2 * MR =", {"2 × 4 = 8"}},
        // A function whose display was typed over is gone; a replaced operator too.
        TapeCase{"2 sqrt 5 + * 3 =", {"5 × 3 = 15"}}, TapeCase{"5 + = * 3 =", {"5 + 0 = 5", "0 × 3 = 0"}},
        TapeCase{"5 / 0 =", {"5 ÷ 0 = 错误！"}}, TapeCase{"5 / 0 + 3 =", {"5 ÷ 0 + 3 = 错误！"}},
        TapeCase{"0 ln + 1 =", {}}, // + on the error changes nothing (it took ln 0 as 0)
        TapeCase{"2 x^y 1 0 = + 1 =", {"2 ^ 10 = 1024", "1024 + 1 = 1025"}},
        TapeCase{"2 7 y-root 3 - 1 sign =", {"27 ʸ√ 3 - -1 = 4"}},
        // An equals that only shows a number again, and keys without equals, keep nothing.
        TapeCase{"7 + 8 = = 5 =", {"7 + 8 = 15"}}, TapeCase{"4 sqrt", {}}, TapeCase{"", {}},
        // A function's fault is replaced by the next number (it left -4 behind).
        TapeCase{"6 + 4 sign sqrt 5 =", {"6 + 5 = 11"}},
        TapeCase{"expr:(3-55)*(10+sin(30)) expr:-2^2", {"(3 - 55) × (10 + sin(30)) = -546", "-2 ^ 2 = -4"}},
        TapeCase{"expr:1/0", {"1 ÷ 0 = INF"}}));

INSTANTIATE_TEST_SUITE_P(
    Keys, TapeSequence,
    ::testing::Values(
        TapeCase{"", {}, "tape-back tape-next tape-recall", {"无记录", "无记录", "无记录"}},
        TapeCase{"1 2 + 3 * 2 = 7 + 8 =",
                 {"12 + 3 × 2 = 30", "7 + 8 = 15"},
                 "tape-back tape-back tape-back",
                 {"第", "2", "条", "7", "加", "8", "等于", "1", "拾", "5", // the newest first
                  "第", "1", "条", "1", "拾", "2", "加",   "3", "乘", "2", "等于", "3", "拾",
                  "第", "1", "条", "1", "拾", "2", "加",   "3", "乘", "2", "等于", "3", "拾"}}, // stops at the oldest
        TapeCase{
            "1 + 2 = 3 + 4 =", {"1 + 2 = 3", "3 + 4 = 7"}, "tape-next", {"第", "2", "条", "3", "加", "4", "等于", "7"}},
        // Recall puts the result back as MR does: the pending operation stays.
        TapeCase{"1 + 2 = 1 0 *",
                 {"1 + 2 = 3", "10 × 3 = 30"},
                 "tape-back tape-recall =",
                 {"第", "1", "条", "1", "加", "2", "等于", "3", "取回", "等于", "3", "拾"},
                 "30"},
        TapeCase{"5 / 0 =", {"5 ÷ 0 = 错误！"}, "tape-recall", {"错误"}},
        TapeCase{"1 + 2 = 4 sqrt x^2 ", {}, "tape-clear calculation", {"已清除", "开方", "4", "平方"}},
        TapeCase{"1 2 + 3 * 2", {}, "calculation", {"1", "拾", "2", "加", "3", "乘", "2"}},
        TapeCase{"1 2 +", {}, "calculation tape", {"1", "拾", "2", "加"}}));

TEST(KeySequenceExpression, KeepsItsTextsAndLeavesTheCalculatorAlone)
{
    KeyDriver driver(Script());
    Press(driver, "7 + expr:(3-55)*(10+sin(30))");
    EXPECT_EQ(driver.Engine().DisplayText, "0");
    EXPECT_EQ(driver.Engine().LabelText, "7+");
    Press(driver, "2 =");
    EXPECT_EQ(driver.Engine().DisplayText, "9");
    const std::string json = driver.JsonLine({});
    EXPECT_NE(json.find("\"expression\": {\"input\": \"(3-55)*(10+sin(30))\", \"output\": \"-546\"}"),
              std::string::npos)
        << json;
}

// A paste is one number or nothing: refused texts leave the display and the
// calculation as they were and are heard as the error (any text used to
// reach the display and be read as 0).
TEST(KeySequencePaste, AcceptsOneNumberAndRefusesTheRest)
{
    const std::pair<const char *, const char *> rows[] = {
        {"12.5", "12.5"},
        {" 42\t", "42"},
        {"\u3000\u00a012\u3000", "12"},
        {"+5", "5"},
        {"-0", "0"},
        {"007.50", "7.50"},
        {".5", "0.5"},
        {"1,234,567.25", "1234567.25"},
        {"1\u2009234", "1234"},
        {"1'000", "1000"},
        {"１２３", "123"},
        {"－１．５", "-1.5"},
        {"\u22123", "-3"},
        {"1.5E+3", "1500"},
        {"2e-3", "0.002"},
        {"0.123\u2009456", "0.123456"},
        {"123456789012345678901234567890", "123456789012345678901234567890"},
        {"", nullptr},
        {"abc", nullptr},
        {"12+3", nullptr},
        {"1 2", nullptr},
        {"100 200", nullptr},
        {"1,5", nullptr},
        {"1,23,456", nullptr},
        {"1,234\u2009567", nullptr},
        {",123", nullptr},
        {"1.2.3", nullptr},
        {"1E", nullptr},
        {"1E5000", nullptr},
        {"¥12", nullptr},
        {"12元", nullptr},
        {"--1", nullptr},
        {"1234567890123456789012345678901", nullptr},
        {"\xff"
         "1",
         nullptr},
        {"错误！", nullptr},
        {"NaN", nullptr},
        {"0x10", nullptr},
        {"3 + 4", nullptr}};
    for (const auto &[text, shown] : rows) {
        KeyDriver driver(Script());
        Press(driver, "7 +");
        KeyRecord pasted;
        driver.RunKey(std::string("paste:") + text, &pasted);
        EXPECT_EQ(pasted.cues, shown ? std::vector<std::string>{} : std::vector<std::string>{"错误"}) << text;
        Press(driver, "=");
        const std::string expectedDisplay = shown ? GeneralNumberText(7 + ParseNumberText(shown)) : "7";
        EXPECT_EQ(driver.Engine().DisplayText, expectedDisplay) << "[" << text << "]";
        driver.Engine().PasteText(text);
        EXPECT_EQ(driver.Engine().DisplayText, shown ? shown : expectedDisplay) << "[" << text << "]";
    }
}

TEST(KeySequenceFaults, EqualsFaultEndsTheCalculation)
{
    KeyDriver driver(Script());
    Press(driver, "5 / 0 =");
    // Was: the accumulator 5 and the division kept for the next number.
    EXPECT_EQ(driver.Engine().Accumulator, 0);
    EXPECT_EQ(driver.Engine().PendingOperator, OpAdd);
    EXPECT_FALSE(driver.Engine().ErrorShown);
    EXPECT_EQ(driver.Engine().LabelText, "");
}

// The key table is what the window, the keyboard and the driver are built
// from: a name, token, shortcut or keyboard code that means two keys would
// press the wrong one, a key without Chinese words is read as its object
// name or not at all, and a wrong cue would be announced for the key.
TEST(KeyTable, NamesTokensShortcutsAndCodesAreUnique)
{
    std::set<std::string_view> names, words, tokens, shortcuts;
    std::set<int> codes;
    const auto isChinese = [](std::string_view text) {
        // A character from the CJK ideographs, U+4E00..U+9FFF: E4..E9 lead bytes.
        for (const char c : text)
            if (static_cast<unsigned char>(c) >= 0xE4 && static_cast<unsigned char>(c) <= 0xE9)
                return true;
        return false;
    };
    const auto addShortcuts = [&](std::string_view owner, const std::array<std::string_view, 2> &keys) {
        EXPECT_FALSE(keys[0].empty()) << owner << " has no shortcut";
        for (std::string_view s : keys)
            if (!s.empty())
                EXPECT_TRUE(shortcuts.insert(s).second) << owner << ": " << s << " is taken";
    };
    for (const KeyDef &key : Keys()) {
        EXPECT_TRUE(names.insert(key.objectName).second) << key.objectName;
        EXPECT_TRUE(isChinese(key.words)) << key.objectName << ": " << key.words;
        EXPECT_TRUE(words.insert(key.words).second) << key.objectName << ": " << key.words;
        addShortcuts(key.objectName, key.shortcuts);
        if (!key.token.empty())
            EXPECT_TRUE(tokens.insert(key.token).second) << key.token;
        for (int code : key.virtualKeys)
            if (code != 0)
                EXPECT_TRUE(codes.insert(code).second) << key.objectName << " " << code;
        if (key.virtualKeys[0] != 0)
            EXPECT_FALSE(IsScientific(key.handler)) << key.objectName << ": the engine presses only keypad keys";
    }
    for (const CommandDef &command : Commands()) {
        EXPECT_TRUE(isChinese(command.words)) << command.token;
        EXPECT_TRUE(words.insert(command.words).second) << command.token;
        addShortcuts(command.token, command.shortcuts);
        EXPECT_TRUE(KeyDriver::IsKnownToken(std::string(command.token)) || command.token == "paste") << command.token;
    }
    EXPECT_EQ(names.size(), 55u);
}

// The README lists every shortcut; the block is rendered from the table, so
// a changed shortcut fails here until the README says it too.
TEST(KeyTable, ReadmeListsEveryShortcut)
{
    const auto keys = [](const std::array<std::string_view, 2> &shortcuts) {
        std::string out;
        for (std::string_view s : shortcuts)
            if (!s.empty())
                out += (out.empty() ? "`" : ", `") + std::string(s) + "`";
        return out;
    };
    std::string block = "| Shortcut | Key | Read as |\n|---|---|---|\n";
    for (const KeyDef &key : Keys())
        block += "| " + keys(key.shortcuts) + " | " + std::string(key.token.empty() ? key.words : key.token) + " | " +
                 std::string(key.words) + " |\n";
    for (const CommandDef &command : Commands())
        block += "| " + keys(command.shortcuts) + " | " + std::string(command.token) + " | " +
                 std::string(command.words) + " |\n";
    std::ifstream in(TALLYVOX_README);
    const std::string readme((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const std::string start = "<!-- shortcuts -->\n", end = "<!-- /shortcuts -->";
    const std::size_t from = readme.find(start), to = readme.find(end);
    ASSERT_TRUE(from != std::string::npos && to != std::string::npos) << "README.md has no shortcuts block";
    EXPECT_EQ(readme.substr(from + start.size(), to - from - start.size()), block) << "paste into README.md:\n"
                                                                                   << block;
}

TEST(KeyTable, EveryKeyPlaysTheCueOfItsRow)
{
    for (const KeyDef &key : Keys()) {
        if (key.token.empty())
            continue;
        KeyDriver driver(Script());
        // A number to act on, and another angle mode than the key's own.
        Press(driver, key.handler == KeyHandler::RadRadianClick ? "5 grad" : "5 rad");
        KeyRecord record;
        ASSERT_TRUE(driver.RunKey(std::string(key.token), &record));
        ASSERT_FALSE(record.cues.empty()) << key.token;
        EXPECT_EQ(record.cues.front(), key.cue) << key.token;
    }
}

} // namespace
} // namespace tallyvox

// SPDX-License-Identifier: GPL-3.0-or-later
// The expression calculator's logic: prelude, statement, function menu and
// its insertion rule, and calculations with the cues they read.
#include "expression/ExpressionCalculator.h"
#include "numbers/NumberText.h"
#include "numbers/Utf8.h"
#include "tests/support/RecordingHost.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace tallyvox {
namespace {

using Cues = std::vector<std::string>;

std::filesystem::path SandboxProgram()
{
    if (const char *bin = std::getenv("TALLYVOX_BIN"))
        return std::filesystem::path(bin) / "tallyvox-script";
    return ScriptEvaluator::DefaultSandboxProgram();
}

std::vector<std::string> Lines(const std::string &text)
{
    std::vector<std::string> lines;
    std::size_t from = 0;
    for (std::size_t end; (end = text.find("\r\n", from)) != std::string::npos; from = end + 2)
        lines.push_back(text.substr(from, end - from));
    if (from < text.size())
        lines.push_back(text.substr(from)); // an unterminated tail
    return lines;
}

// Width in a fixed-pitch font: ASCII one column, Chinese two.
std::size_t Columns(std::string_view utf8)
{
    const std::size_t chars = CharCount(utf8);
    std::size_t ascii = 0;
    for (char c : utf8)
        ascii += static_cast<unsigned char>(c) < 0x80 ? 1 : 0;
    return ascii + 2 * (chars - ascii);
}

// Each name it defines is used by the calculations below.
TEST(ExpressionPrelude, EndsItsLinesWithCrLf)
{
    const std::string &prelude = ExpressionPrelude();
    ASSERT_GE(prelude.size(), 2u);
    EXPECT_EQ(prelude.substr(prelude.size() - 2), "\r\n");
    const auto lines = Lines(prelude);
    for (const std::string &line : lines)
        EXPECT_EQ(line.find_first_of("\r\n"), std::string::npos) << line;
}

TEST(ExpressionStatement, UpperCasesAsciiLettersOnly)
{
    const std::pair<const char *, const char *> cases[] = {
        {"(3-55)*(10+sin(30))", "(3-55)*(10+SIN(30))"},
        {"aSin(0.5)+Sqrt(2)", "ASIN(0.5)+SQRT(2)"},
        {"pi", "PI"},
        {"Math.PI", "MATH.PI"},
        {"1e3", "1E3"},
        {"'abz' + \"中文é\"", "'ABZ' + \"中文é\""},
        {"", ""},
    };
    for (const auto &[expression, upper] : cases) {
        SCOPED_TRACE(expression);
        EXPECT_EQ(UpperCaseLetters(expression), upper);
        EXPECT_EQ(BuildExpressionStatement(expression), ExpressionPrelude() + "result = " + upper);
    }
    EXPECT_EQ(BuildExpressionStatement("pi^2"), ExpressionPrelude() + "result = Math.pow(PI,2)");
}

TEST(ExpressionStatement, CaretIsThePowerWithItsPrecedence)
{
    const std::pair<const char *, const char *> cases[] = {
        {"2^3", "Math.pow(2,3)"},
        {"2 ^ 3", "Math.pow(2,3)"},
        {"-2^2", "-Math.pow(2,2)"},
        {"2^3^2", "Math.pow(2,Math.pow(3,2))"},
        {"2*3^2+1", "2*Math.pow(3,2)+1"},
        {"2^-3^2", "Math.pow(2,-Math.pow(3,2))"},
        {"(1+2)^-X[1]", "Math.pow((1+2),-X[1])"},
        {"SQRT(4)^(1^2)", "Math.pow(SQRT(4),(Math.pow(1,2)))"},
        {"MATH.PI^2", "Math.pow(MATH.PI,2)"},
        {"1E-3^2", "Math.pow(1E-3,2)"},
        {"0X1E^2", "Math.pow(0X1E,2)"},
        // Left alone: inside quotes, without two operands, the "^=" operator.
        {"'2^3'+\"^\"", "'2^3'+\"^\""},
        {"2^", "2^"},
        {"^2", "^2"},
        {"A^=2", "A^=2"},
        {"(2^3", "(Math.pow(2,3)"},
        {"2^3)", "Math.pow(2,3))"},
        {"((2^3))", "((Math.pow(2,3)))"},
    };
    for (const auto &[expression, rewritten] : cases)
        EXPECT_EQ(RewritePowers(expression), rewritten) << expression;
}

TEST(FunctionMenu, ItemsLineUpAndAreFoundByTag)
{
    const auto &menu = FunctionMenu();
    for (std::size_t i = 0; i < menu.size(); ++i) {
        SCOPED_TRACE(menu[i].name);
        EXPECT_EQ(menu[i].tag, static_cast<int>(i));
        EXPECT_EQ(FunctionTextOf(menu[i].tag), menu[i].text);
        // The bracketed words line up: every caption is as wide, counting a
        // Chinese character as two columns.
        EXPECT_EQ(Columns(menu[i].caption), 15u);
        // Each inserted text names a prelude function or constant once upper-cased.
        const std::string text = UpperCaseLetters(menu[i].text);
        const std::string name = text.substr(0, text.find('('));
        EXPECT_TRUE(ExpressionPrelude().find("function " + name + "(") != std::string::npos ||
                    ExpressionPrelude().find("var " + name + " = ") != std::string::npos);
    }
    EXPECT_EQ(FunctionTextOf(2), "Sqrt()");
    EXPECT_EQ(FunctionTextOf(3), "Sin()");
    EXPECT_EQ(FunctionTextOf(13), "Pi");
    EXPECT_EQ(FunctionTextOf(-1), "");
    EXPECT_EQ(FunctionTextOf(15), "");
}

struct InsertCase {
    const char *name;
    ExpressionEdit before;
    const char *function;
    const char *text;
    std::size_t caret;
};

TEST(FunctionMenu, InsertsAtTheCaretOrReplacesTheSelection)
{
    const InsertCase cases[] = {
        {"empty expression", {"", 0, 0}, "Sqrt()", "Sqrt()", 5},
        {"at the end", {"1+", 2, 0}, "ABS()", "1+ABS()", 6},
        {"in the middle", {"12", 1, 0}, "Int()", "1Int()2", 5},
        {"at the start", {"+2", 0, 0}, "Cos()", "Cos()+2", 4},
        {"after wide characters", {"中文+1", 2, 0}, "Sin()", "中文Sin()+1", 6},
        // With a selection every occurrence of the selected text is replaced,
        // and the caret goes by the old selection start.
        {"second of two selected", {"30+30", 3, 2}, "Sin()", "Sin()+Sin()", 7},
        {"first of two selected", {"30+30", 0, 2}, "Cos()", "Cos()+Cos()", 4},
        {"case-sensitive", {"sin+SIN", 0, 3}, "Tan()", "Tan()+SIN", 4},
        {"occurrences do not overlap", {"aaa", 0, 2}, "Int()", "Int()a", 4},
        {"selection of wide characters", {"中+中文", 2, 1}, "Int()", "Int()+Int()文", 6},
        {"caret clamped to a shorter text", {"abcdefgh-abcdefgh", 9, 8}, "Sin()", "Sin()-Sin()", 11},
        {"a constant leaves the caret after it", {"2*", 2, 0}, "Pi", "2*Pi", 4},
    };
    for (const InsertCase &c : cases) {
        SCOPED_TRACE(c.name);
        const ExpressionEdit after = InsertFunction(c.before, c.function);
        EXPECT_EQ(after.text, c.text);
        EXPECT_EQ(after.selectionStart, c.caret);
        EXPECT_EQ(after.selectionLength, 0u);
    }
}

TEST(FunctionMenu, EditInsertTakesTheGivenTextOnlyWithoutSelection)
{
    EXPECT_EQ(EditInsert({"ab", 1, 0}, "X()", "given").text, "given");
    EXPECT_EQ(EditInsert({"ab", 1, 0}, "X()", "given").selectionStart, 3u);
    EXPECT_EQ(EditInsert({"ab", 1, 1}, "X()", "given").text, "aX()");
    EXPECT_EQ(InsertedAt("中文", 1, "Sin()"), "中Sin()文");
    EXPECT_EQ(InsertedAt("ab", 7, "Sin()"), "abSin()");
}

using test::RecordingHost;

struct CalculationCase {
    const char *expression;
    const char *output;
    Cues cues;
    bool message;
};

TEST(CalculateExpression, ResultsAndTheirCues)
{
    // Bracket depth: the deepest allowed, one more, and what crashed the rewriting.
    auto nested = [](int levels) { return std::string(levels, '(') + "2^3" + std::string(levels, ')'); };
    const std::string deepest = nested(kMaxExpressionDepth), tooDeep = nested(kMaxExpressionDepth + 1),
                      crashed = nested(50000), quoted = "'" + std::string(kMaxExpressionDepth + 1, '[') + "'";
    const Cues oneThird = [] {
        Cues cues = {"等于", "0", "10"};
        cues.insert(cues.end(), 15, "3");
        return cues;
    }();
    const CalculationCase cases[] = {
        {"1+2", "3", {"等于", "3"}, false},
        {"(3-55)*(10+sin(30))", "-546", {"等于", "负", "5", "佰", "4", "拾", "6"}, false},
        {"sin(30)", "0.5", {"等于", "0", "10", "5"}, false},
        {"-2.25", "-2.25", {"等于", "负", "2", "10", "2", "5"}, false},
        {"abs(-4)", "4", {"等于", "4"}, false},
        {"Abs(-4)", "4", {"等于", "4"}, false},
        {"1/3", "0.333333333333333", oneThird, false},
        {"Sqrt(2)",
         "1.4142135623731",
         {"等于", "1", "10", "4", "1", "4", "2", "1", "3", "5", "6", "2", "3", "7", "3", "1"},
         false},
        {"int(-7.9)", "-7", {"等于", "负", "7"}, false},
        {"12345678.9",
         "12345678.9",
         {"等于", "1", "仟", "2", "佰", "3", "拾", "4", "万", "5", "仟", "6", "佰", "7", "拾", "8", "10", "9"},
         false},
        {"cos(60)*100", "50", {"等于", "5", "拾"}, false},
        // "^" is the power (it was exclusive-or: 2^3 gave 1).
        {"2^3", "8", {"等于", "8"}, false},
        {"2^3^2", "512", {"等于", "5", "佰", "1", "拾", "2"}, false},
        {"-2^2", "-4", {"等于", "负", "4"}, false},
        {"2*3^2", "18", {"等于", "1", "拾", "8"}, false},
        {"2^-1", "0.5", {"等于", "0", "10", "5"}, false},
        // The functions people type (pi was an undefined name).
        {"ln(1)", "0", {"等于", "0"}, false},
        {"LOG(1000)", "3", {"等于", "3"}, false},
        {"exp(0)+pow(2,10)", "1025", {"等于", "1", "仟", "0", "2", "拾", "5"}, false},
        {"pi",
         "3.14159265358979",
         {"等于", "3", "10", "1", "4", "1", "5", "9", "2", "6", "5", "3", "5", "8", "9", "7", "9"},
         false},
        {"e^2",
         "7.38905609893065",
         {"等于", "7", "10", "3", "8", "9", "0", "5", "6", "0", "9", "8", "9", "3", "0", "6", "5"},
         false},
        // Exact angles, and the inverse functions in degrees (they took π/180 on their argument).
        {"sin(180)+cos(90)+sin(-540)", "0", {"等于", "0"}, false},
        {"cos(180)", "-1", {"等于", "负", "1"}, false},
        {"tan(45)", "1", {"等于", "1"}, false},
        {"asin(0.5)+acos(-1)+atan(1)", "255", {"等于", "2", "佰", "5", "拾", "5"}, false},
        // Big and blank-padded results read right (they read "0" and the fraction, or "负", "0").
        {"10^15", "1E15", {"等于", "1", "E", "1", "5"}, false},
        {"123456789*1000000000",
         "1.23456789E17",
         {"等于", "1", "10", "2", "3", "4", "5", "6", "7", "8", "9", "E", "1", "7"},
         false},
        {"'  -25'", "  -25", {"等于", "负", "2", "拾", "5"}, false},
        // Failures: the error cue and the message, nothing read (it read "0").
        {"Math.PI", "", {"等于", "错误"}, true},
        {"", "", {"等于", "错误"}, true},
        {"(3-", "", {"等于", "错误"}, true},
        {"1/0", "INF", {"等于", "错误"}, true},
        {"-1/0", "-INF", {"等于", "错误"}, true},
        {"0/0", "NAN", {"等于", "错误"}, true},
        {"tan(90)", "NAN", {"等于", "错误"}, true},
        {"asin(2)", "NAN", {"等于", "错误"}, true},
        {"1<2", "true", {"等于", "错误"}, true},
        {"'1.25'+'X'", "1.25X", {"等于", "错误"}, true},
        {deepest.c_str(), "8", {"等于", "8"}, false},
        {tooDeep.c_str(), "", {"等于", "错误"}, true},
        {crashed.c_str(), "", {"等于", "错误"}, true},
        {quoted.c_str(), "", {"等于", "错误"}, true},
    };
    ScriptEvaluator script(SandboxProgram());
    for (const CalculationCase &c : cases) {
        SCOPED_TRACE(c.expression);
        RecordingHost host;
        EXPECT_EQ(CalculateExpression(c.expression, script, host), c.output);
        EXPECT_EQ(host.cues, c.cues);
        EXPECT_TRUE(host.allAsync);
        ASSERT_EQ(host.messages.size(), c.message ? 1u : 0u);
        if (c.message) {
            EXPECT_EQ(host.messages[0].first, "提示");
            EXPECT_EQ(host.messages[0].second, "表达式错误，无法运算！");
        }
        // "负" or "错误" follow "等于" as soon as it ends; every later cue comes
        // 500 ms after the one before started, and never before it ended.
        const std::size_t immediate = c.cues[1] == "负" || c.cues[1] == "错误" ? 2 : 1;
        EXPECT_EQ(host.waits, std::vector<int>(c.cues.size() - immediate, 500));
        EXPECT_EQ(host.eventSteps, static_cast<int>(c.cues.size() - immediate));
        EXPECT_EQ(host.cuesAfterAnEnd, static_cast<int>(c.cues.size() - 1));
    }
}

// Builds a JavaScript text from characters picked out of values' texts, so
// that it holds no lower-case letter and passes the upper-casing unchanged.
class UpperCaseOnlyScript {
public:
    UpperCaseOnlyScript()
    {
        const std::string f = "(!1+[])", t = "(!0+[])", u = "([][[]]+[])", o = "([]+{})", sin = "(SIN+[])";
        picks_ = {{'c', At(o, 5)},    {'o', At(o, 1)},    {'n', At(u, 1)},    {'s', At(f, 3)},
                  {'t', At(t, 0)},    {'r', At(t, 1)},    {'u', At(u, 0)},    {'i', At(u, 5)},
                  {'l', At(f, 2)},    {'e', At(t, 3)},    {'(', At(sin, 12)}, {')', At(sin, 13)},
                  {'{', At(sin, 15)}, {'}', At(sin, 31)}, {' ', At(sin, 8)},  {'1', "1"}};
        const std::string string = "(([]+[])[" + Text("constructor") + "]+[])"; // "function String() {...}"
        picks_['S'] = At(string, 9);
        picks_['g'] = At(string, 14);
        picks_['w'] = "(32)[" + Text("toString") + "](36)";
        picks_['h'] = "(17)[" + Text("toString") + "](36)";
    }

    // The statement run by calling a new Function made of it.
    std::string Call(const std::string &source) const
    {
        return "SIN[" + Text("constructor") + "](" + Text(source) + ")()";
    }

private:
    static std::string At(const std::string &value, int index) { return value + "[" + std::to_string(index) + "]"; }
    std::string Text(const std::string &text) const
    {
        std::string out;
        for (char c : text)
            out += (out.empty() ? "" : "+") + picks_.at(c);
        return out;
    }

    std::map<char, std::string> picks_;
};

TEST(CalculateExpression, EndlessLoopTypedIntoTheWindowIsCutOff)
{
    const std::string loop = UpperCaseOnlyScript().Call("while(1){}");
    ASSERT_EQ(UpperCaseLetters(loop), loop);
    ScriptEvaluator script(SandboxProgram());
    // The encoding works: the same route runs a statement that returns.
    EXPECT_EQ(EvaluateExpression(UpperCaseOnlyScript().Call("return 11"), script), "11");
    RecordingHost host;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(CalculateExpression(loop, script, host), "");
    EXPECT_LT(std::chrono::steady_clock::now() - start, ScriptLimits{}.timeLimit + std::chrono::milliseconds(1500));
    EXPECT_EQ(host.cues, (Cues{"等于", "错误"}));
    EXPECT_EQ(CalculateExpression("1+2", script, host), "3");
}

} // namespace
} // namespace tallyvox

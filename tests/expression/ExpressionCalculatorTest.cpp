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

TEST(ExpressionPrelude, IsTheFixedText)
{
    const std::string &prelude = ExpressionPrelude();
    EXPECT_EQ(prelude.size(), 518u);
    EXPECT_EQ(CharCount(prelude), 518u);
    ASSERT_GE(prelude.size(), 2u);
    EXPECT_EQ(prelude.substr(prelude.size() - 2), "\r\n");
    const auto lines = Lines(prelude);
    ASSERT_EQ(lines.size(), 27u);
    const std::pair<const char *, const char *> functions[] = {
        {"SIN", "return (Math.sin(A * Math.PI / 180));"},
        {"COS", "return (Math.cos(A * Math.PI / 180));"},
        {"TAN", "return (Math.tan(A * Math.PI / 180));"},
        {"ABS", "return (Math.abs(A));"},
        {"ASIN", "return (Math.asin(A * Math.PI / 180));"},
        {"ACOS", "return (Math.acos(A * Math.PI / 180));"},
        {"ATAN", "return (Math.atan(A * Math.PI / 180));"},
        {"INT", "return (parseInt(A));"},
        {"SQRT", "return (Math.sqrt(A));"},
    };
    for (std::size_t i = 0; i < 9; ++i) {
        SCOPED_TRACE(functions[i].first);
        EXPECT_EQ(lines[3 * i], std::string("function ") + functions[i].first + "(A){");
        EXPECT_EQ(lines[3 * i + 1], std::string("  ") + functions[i].second);
        EXPECT_EQ(lines[3 * i + 2], "}");
    }
    // No bare LF or CR anywhere.
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
        // Each inserted text calls a prelude function once upper-cased.
        const std::string call = UpperCaseLetters(menu[i].text);
        EXPECT_NE(ExpressionPrelude().find("function " + call.substr(0, call.size() - 2) + "(A){"), std::string::npos);
    }
    EXPECT_EQ(FunctionTextOf(2), "Sqrt()");
    EXPECT_EQ(FunctionTextOf(3), "Sin()");
    EXPECT_EQ(FunctionTextOf(-1), "");
    EXPECT_EQ(FunctionTextOf(9), "");
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
        // Failures: the message, then "0".
        {"pi", "", {"等于", "0"}, true},
        {"Math.PI", "", {"等于", "0"}, true},
        {"", "", {"等于", "0"}, true},
        {"(3-", "", {"等于", "0"}, true},
        {"1/0", "INF", {"等于", "0"}, true},
        {"0/0", "NAN", {"等于", "0"}, true},
        {"1<2", "true", {"等于", "0"}, true},
        {"'1.25'+'X'", "1.25X", {"等于", "0", "10", "2", "5", "X"}, true},
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
        // "等于" and "负" start together; every later cue after 500 ms.
        const std::size_t immediate = std::string(c.output).rfind('-', 0) == 0 ? 2 : 1;
        EXPECT_EQ(host.waits, std::vector<int>(c.cues.size() - immediate, 500));
        EXPECT_EQ(host.eventSteps, static_cast<int>(c.cues.size() - immediate));
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
    EXPECT_EQ(host.cues, (Cues{"等于", "0"}));
    EXPECT_EQ(CalculateExpression("1+2", script, host), "3");
}

} // namespace
} // namespace tallyvox

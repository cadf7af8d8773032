// SPDX-License-Identifier: GPL-3.0-or-later
#include "expression/ExpressionCalculator.h"

#include "numbers/Utf8.h"

#include <algorithm>

namespace tallyvox {

namespace {

std::string ReplaceAll(std::string_view text, std::string_view what, std::string_view with)
{
    std::string out;
    std::size_t from = 0;
    for (;;) {
        const std::size_t at = text.find(what, from);
        if (at == std::string_view::npos)
            break;
        out.append(text, from, at - from);
        out.append(with);
        from = at + what.size();
    }
    out.append(text, from);
    return out;
}

} // namespace

const std::string &ExpressionPrelude()
{
    static const std::string prelude = "function SIN(A){\r\n"
                                       "  return (Math.sin(A * Math.PI / 180));\r\n"
                                       "}\r\n"
                                       "function COS(A){\r\n"
                                       "  return (Math.cos(A * Math.PI / 180));\r\n"
                                       "}\r\n"
                                       "function TAN(A){\r\n"
                                       "  return (Math.tan(A * Math.PI / 180));\r\n"
                                       "}\r\n"
                                       "function ABS(A){\r\n"
                                       "  return (Math.abs(A));\r\n"
                                       "}\r\n"
                                       "function ASIN(A){\r\n"
                                       "  return (Math.asin(A * Math.PI / 180));\r\n"
                                       "}\r\n"
                                       "function ACOS(A){\r\n"
                                       "  return (Math.acos(A * Math.PI / 180));\r\n"
                                       "}\r\n"
                                       "function ATAN(A){\r\n"
                                       "  return (Math.atan(A * Math.PI / 180));\r\n"
                                       "}\r\n"
                                       "function INT(A){\r\n"
                                       "  return (parseInt(A));\r\n"
                                       "}\r\n"
                                       "function SQRT(A){\r\n"
                                       "  return (Math.sqrt(A));\r\n"
                                       "}\r\n";
    return prelude;
}

std::string UpperCaseLetters(std::string_view text)
{
    std::string out(text);
    // Bytes of multi-byte UTF-8 sequences are all 0x80 and above, so only
    // ASCII letters change.
    for (char &c : out) {
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    }
    return out;
}

std::string BuildExpressionStatement(std::string_view expression)
{
    return ExpressionPrelude() + "result = " + UpperCaseLetters(expression);
}

const std::array<FunctionMenuItem, 9> &FunctionMenu()
{
    static const std::array<FunctionMenuItem, 9> items = {{
        {"int1", "int    (取  整)", "取整", 0, "Int()"},
        {"abs1", "abs    (绝对值)", "绝对值", 1, "ABS()"},
        {"sqrt1", "sqrt   (开  方)", "开平方", 2, "Sqrt()"},
        {"sin1", "sin    (正  弦)", "正玄", 3, "Sin()"},
        {"cos1", "cos    (余  弦)", "余弦", 4, "Cos()"},
        {"tan1", "tan    (正  切)", "正切", 5, "Tan()"},
        {"asin1", "asin   (反正弦)", "", 6, "aSin()"},
        {"acos1", "acos   (反余弦)", "", 7, "aCos()"},
        {"atan1", "atan   (反正切)", "", 8, "aTan()"},
    }};
    return items;
}

std::string_view FunctionTextOf(int tag)
{
    for (const FunctionMenuItem &item : FunctionMenu()) {
        if (item.tag == tag)
            return item.text;
    }
    return {};
}

std::string InsertedAt(std::string_view text, std::size_t position, std::string_view functionText)
{
    const std::size_t at = ByteOffsetOfChar(text, position);
    std::string out(text.substr(0, at));
    out.append(functionText);
    out.append(text.substr(at));
    return out;
}

ExpressionEdit EditInsert(const ExpressionEdit &edit, std::string_view functionText, std::string_view newExpression)
{
    ExpressionEdit out;
    if (edit.selectionLength > 0) {
        const std::size_t from = ByteOffsetOfChar(edit.text, edit.selectionStart);
        const std::size_t to = ByteOffsetOfChar(edit.text, edit.selectionStart + edit.selectionLength);
        out.text = ReplaceAll(edit.text, std::string_view(edit.text).substr(from, to - from), functionText);
    } else {
        out.text = newExpression;
    }
    const std::size_t length = CharCount(functionText);
    const std::size_t caret = edit.selectionStart + length - std::min<std::size_t>(length, 1);
    out.selectionStart = std::min(caret, CharCount(out.text));
    return out;
}

ExpressionEdit InsertFunction(const ExpressionEdit &edit, std::string_view functionText)
{
    return EditInsert(edit, functionText, InsertedAt(edit.text, edit.selectionStart, functionText));
}

std::string EvaluateExpression(std::string_view expression, ScriptEvaluator &script)
{
    return script.EvalScript(BuildExpressionStatement(expression), kExpressionResultVariable);
}

std::string CalculateExpression(std::string_view input, ScriptEvaluator &script, ExpressionReadOutHost &host)
{
    const std::string output = EvaluateExpression(input, script);
    ExpressionReadOut(output, host);
    return output;
}

} // namespace tallyvox

// SPDX-License-Identifier: GPL-3.0-or-later
// The expression calculator without its window: the script prelude, the
// statement built from a typed expression, the function menu and its
// insertion rule, and the calculation with its read-out.
//
// Pure C++, no Qt. Texts are UTF-8; positions count characters (code points).
#pragma once

#include "script/ScriptEvaluator.h"
#include "voice/ReadOut.h"

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

namespace tallyvox {

// The fixed script text run before every expression, every line ended by
// CR LF: the upper-case functions SIN COS TAN ABS ASIN ACOS ATAN INT SQRT LN
// LOG EXP POW and the constants PI and E. SIN, COS and TAN take degrees and
// are exact at whole multiples of 90 (tan also of 45, and no value at the
// odd multiples of 90); ASIN, ACOS and ATAN answer in degrees.
const std::string &ExpressionPrelude();

// Letters a–z to A–Z; everything else, other scripts included, unchanged.
std::string UpperCaseLetters(std::string_view text);

// "^" as the power, as on the keypad, instead of the script's exclusive-or:
// a^b becomes Math.pow(a,b). It binds tighter than a sign on its left and
// groups from the right (-2^2 = -4, 2^3^2 = 512, 2*3^2 = 18, 2^-1 = 0.5). An
// operand is a number, a name, a quoted text or a bracketed group, with the
// calls, indexes and member accesses that follow it. A "^" without two such
// operands, and everything inside quotes, is left as it is.
// Too deep an expression is left as it is (and EvaluateExpression refuses it).
std::string RewritePowers(std::string_view expression);

// Brackets nest at most this deep: the rewriting and the script's parser
// both recurse once per level, so deeper nesting could exhaust a stack.
inline constexpr int kMaxExpressionDepth = 256;

// Whether brackets nest deeper than kMaxExpressionDepth. Inside quotes every
// opening bracket counts as one more level (a template's ${...} is parsed
// as code), which errs on the side of refusing.
bool ExpressionTooDeep(std::string_view expression);

// The prelude, "result = ", and the expression with a–z upper-cased, so
// that "sin", "Sin" and "SIN" all call the prelude's SIN, and "^" rewritten
// as the power.
std::string BuildExpressionStatement(std::string_view expression);

// The variable the statement leaves its value in.
inline constexpr const char *kExpressionResultVariable = "result";

// One item of the function menu; an item's tag is its index.
struct FunctionMenuItem {
    const char *name;    // object name: int1, abs1, ...
    const char *caption; // shown as is, spaces included, no accelerator
    const char *hint;    // kept with the item, never shown; "" for none
    int tag;
    const char *text; // inserted into the expression
};

const std::array<FunctionMenuItem, 15> &FunctionMenu();

// The inserted text of the item with this tag; "" for any other tag.
std::string_view FunctionTextOf(int tag);

// The expression edit's text with its selection (or caret, when the
// selection is empty).
struct ExpressionEdit {
    std::string text;
    std::size_t selectionStart = 0; // the caret when selectionLength is 0
    std::size_t selectionLength = 0;
};

// The text with functionText put at position (before the character there).
std::string InsertedAt(std::string_view text, std::size_t position, std::string_view functionText);

// editInsert's rule. With a selection, every occurrence of the selected text
// in the whole expression (case-sensitive, left to right, not overlapping)
// becomes functionText and newExpression is not used; otherwise the text
// becomes newExpression. Either way the caret lands at the old selection
// start plus the length of functionText, minus one when it ends in ")",
// which is between the parentheses of a function inserted there, and after
// a constant. Clamped to the text.
ExpressionEdit EditInsert(const ExpressionEdit &edit, std::string_view functionText, std::string_view newExpression);

// What choosing a menu item does: the function text inserted at the caret,
// then editInsert's rule.
ExpressionEdit InsertFunction(const ExpressionEdit &edit, std::string_view functionText);

// The result text of an expression: its statement run by the script
// evaluator, the value of "result" as text, "" on any failure.
// An expression too deep (ExpressionTooDeep) fails like any other: empty.
std::string EvaluateExpression(std::string_view expression, ScriptEvaluator &script);

// Calculate: the result text, then its read-out ("等于", the sign, the words,
// the fraction; the failure message when it is no number). Returns the
// result text. A window shows the result before reading it, so it calls the
// two steps itself.
std::string CalculateExpression(std::string_view input, ScriptEvaluator &script, ExpressionReadOutHost &host);

} // namespace tallyvox

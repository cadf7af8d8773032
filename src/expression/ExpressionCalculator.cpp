// SPDX-License-Identifier: GPL-3.0-or-later
#include "expression/ExpressionCalculator.h"

#include "numbers/Utf8.h"

#include <algorithm>
#include <optional>
#include <vector>

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

// ------------------------------------------------------------ "^" rewriting

enum class TokenKind { Space, Number, Name, Text, Open, Close, Dot, Caret, Sign, Other, Group, Power };

struct Item {
    TokenKind kind;
    std::string text;
    char bracket = 0; // a group's opening bracket
};

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

bool IsNameChar(char c)
{
    const auto u = static_cast<unsigned char>(c);
    return (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || IsDigit(c) || c == '_' || c == '$' || u >= 0x80;
}

// One token a character class, as far as "^" needs: numbers (exponent
// included), names, quoted texts, brackets, ".", "^", signs and the rest.
std::vector<Item> Tokenize(std::string_view s)
{
    std::vector<Item> out;
    std::size_t i = 0;
    while (i < s.size()) {
        const std::size_t start = i;
        const char c = s[i++];
        TokenKind kind = TokenKind::Other;
        if (static_cast<unsigned char>(c) <= ' ') {
            while (i < s.size() && static_cast<unsigned char>(s[i]) <= ' ')
                ++i;
            kind = TokenKind::Space;
        } else if (IsDigit(c) || (c == '.' && i < s.size() && IsDigit(s[i]))) {
            const bool hex = c == '0' && i < s.size() && (s[i] == 'x' || s[i] == 'X');
            while (i < s.size() && (IsNameChar(s[i]) || s[i] == '.' ||
                                    (!hex && (s[i] == '+' || s[i] == '-') && (s[i - 1] == 'E' || s[i - 1] == 'e'))))
                ++i;
            kind = TokenKind::Number;
        } else if (IsNameChar(c)) {
            while (i < s.size() && IsNameChar(s[i]))
                ++i;
            kind = TokenKind::Name;
        } else if (c == '\'' || c == '"' || c == '`') {
            while (i < s.size() && s[i] != c)
                i += s[i] == '\\' ? 2 : 1;
            i = std::min(i + 1, s.size());
            kind = TokenKind::Text;
        } else if (c == '(' || c == '[' || c == '{') {
            kind = TokenKind::Open;
        } else if (c == ')' || c == ']' || c == '}') {
            kind = TokenKind::Close;
        } else if (c == '.') {
            kind = TokenKind::Dot;
        } else if (c == '^') {
            kind = TokenKind::Caret;
        } else if (c == '+' || c == '-') {
            kind = TokenKind::Sign;
        }
        out.push_back({kind, std::string(s.substr(start, i - start))});
    }
    return out;
}

bool IsOperand(TokenKind kind)
{
    return kind == TokenKind::Number || kind == TokenKind::Name || kind == TokenKind::Text ||
           kind == TokenKind::Group || kind == TokenKind::Power;
}

// A call or an index may follow a name, a group or a power.
bool IsCallOrIndex(const Item &item)
{
    return item.kind == TokenKind::Group && (item.bracket == '(' || item.bracket == '[');
}

std::optional<std::size_t> PreviousNonSpace(const std::vector<Item> &items, std::size_t before)
{
    while (before > 0)
        if (items[--before].kind != TokenKind::Space)
            return before;
    return std::nullopt;
}

std::optional<std::size_t> NextNonSpace(const std::vector<Item> &items, std::size_t from)
{
    for (; from < items.size(); ++from)
        if (items[from].kind != TokenKind::Space)
            return from;
    return std::nullopt;
}

// First item of the operand that ends just before the "^" at caret.
std::optional<std::size_t> LeftOperandStart(const std::vector<Item> &items, std::size_t caret)
{
    const auto last = PreviousNonSpace(items, caret);
    if (!last || !IsOperand(items[*last].kind))
        return std::nullopt;
    std::size_t start = *last;
    for (;;) {
        const auto previous = PreviousNonSpace(items, start);
        if (!previous)
            break;
        const Item &before = items[*previous];
        if (items[start].kind == TokenKind::Name && before.kind == TokenKind::Dot) {
            const auto object = PreviousNonSpace(items, *previous);
            if (!object || !IsOperand(items[*object].kind))
                break;
            start = *object;
        } else if (IsCallOrIndex(items[start]) && (before.kind == TokenKind::Name || before.kind == TokenKind::Group ||
                                                   before.kind == TokenKind::Power)) {
            start = *previous;
        } else {
            break;
        }
    }
    return start;
}

// The items [first, end) of the operand after the "^" at caret, its signs
// included.
std::optional<std::pair<std::size_t, std::size_t>> RightOperand(const std::vector<Item> &items, std::size_t caret)
{
    const auto first = NextNonSpace(items, caret + 1);
    auto at = first;
    while (at && items[*at].kind == TokenKind::Sign)
        at = NextNonSpace(items, *at + 1);
    if (!at || !IsOperand(items[*at].kind))
        return std::nullopt;
    std::size_t end = *at + 1;
    for (;;) {
        const auto next = NextNonSpace(items, end);
        if (!next)
            break;
        if (IsCallOrIndex(items[*next]) && items[end - 1].kind != TokenKind::Number) {
            end = *next + 1;
        } else if (items[*next].kind == TokenKind::Dot) {
            const auto member = NextNonSpace(items, *next + 1);
            if (!member || items[*member].kind != TokenKind::Name)
                break;
            end = *member + 1;
        } else {
            break;
        }
    }
    return std::pair{*first, end};
}

std::string Joined(const std::vector<Item> &items, std::size_t from, std::size_t to)
{
    std::string out;
    for (std::size_t i = from; i < to; ++i)
        out += items[i].text;
    return out;
}

// Turns every "^" of one bracket level into Math.pow, the rightmost first so
// that a power on the right is already one operand.
void RewriteCarets(std::vector<Item> &items)
{
    for (std::size_t caret = items.size(); caret-- > 0;) {
        if (items[caret].kind != TokenKind::Caret)
            continue;
        const auto left = LeftOperandStart(items, caret);
        const auto right = RightOperand(items, caret);
        if (!left || !right)
            continue;
        const std::size_t leftEnd = *PreviousNonSpace(items, caret) + 1;
        Item power{TokenKind::Power, "Math.pow(" + Joined(items, *left, leftEnd) + "," +
                                         Joined(items, right->first, right->second) + ")"};
        items.erase(items.begin() + static_cast<std::ptrdiff_t>(*left),
                    items.begin() + static_cast<std::ptrdiff_t>(right->second));
        items.insert(items.begin() + static_cast<std::ptrdiff_t>(*left), std::move(power));
        caret = *left;
    }
}

// The items of one bracket level from pos on, up to and including the
// bracket that closes it, each inner level already rewritten into one group.
std::vector<Item> Level(const std::vector<Item> &tokens, std::size_t &pos, bool nested)
{
    std::vector<Item> items;
    while (pos < tokens.size()) {
        Item token = tokens[pos++];
        if (token.kind == TokenKind::Close) {
            if (nested) {
                items.push_back(std::move(token));
                break;
            }
            token.kind = TokenKind::Other; // a stray closing bracket
        } else if (token.kind == TokenKind::Open) {
            std::vector<Item> inner = Level(tokens, pos, true);
            RewriteCarets(inner);
            token.kind = TokenKind::Group;
            token.bracket = token.text.front();
            token.text += Joined(inner, 0, inner.size());
        }
        items.push_back(std::move(token));
    }
    return items;
}

// Whether every "," separates the arguments of a call (POW(2,3)): anywhere
// else the script would take it as its comma operator, and 3,5*2 would
// quietly be 10.
bool CommasSeparateArgumentsOnly(std::string_view expression)
{
    const std::vector<Item> tokens = Tokenize(expression);
    std::vector<bool> callBrackets; // one per open bracket: is it a call's?
    TokenKind previous = TokenKind::Space;
    for (const Item &token : tokens) {
        if (token.kind == TokenKind::Open) {
            callBrackets.push_back(token.text == "(" && (previous == TokenKind::Name || previous == TokenKind::Close));
        } else if (token.kind == TokenKind::Close) {
            if (!callBrackets.empty())
                callBrackets.pop_back();
        } else if (token.text == "," && (callBrackets.empty() || !callBrackets.back())) {
            return false;
        }
        if (token.kind != TokenKind::Space)
            previous = token.kind;
    }
    return true;
}

} // namespace

bool ExpressionTooDeep(std::string_view expression)
{
    int depth = 0;
    for (const Item &token : Tokenize(expression)) {
        int extra = 0;
        if (token.kind == TokenKind::Open)
            ++depth;
        else if (token.kind == TokenKind::Close)
            depth = std::max(depth - 1, 0);
        else if (token.kind == TokenKind::Text)
            extra = static_cast<int>(std::count_if(token.text.begin(), token.text.end(),
                                                   [](char c) { return c == '(' || c == '[' || c == '{'; }));
        if (depth + extra > kMaxExpressionDepth)
            return true;
    }
    return false;
}

std::string RewritePowers(std::string_view expression)
{
    if (ExpressionTooDeep(expression))
        return std::string(expression);
    const std::vector<Item> tokens = Tokenize(expression);
    std::size_t pos = 0;
    std::vector<Item> items = Level(tokens, pos, false);
    RewriteCarets(items);
    return Joined(items, 0, items.size());
}

const std::string &ExpressionPrelude()
{
    // Angles are reduced by whole turns exactly (% is exact), so a whole
    // multiple of 90 degrees is recognised as such and given its exact value
    // instead of one off by the rounding of π.
    static const std::string prelude = "function SIN(A){\r\n"
                                       "  var R = A % 360;\r\n"
                                       "  return (R % 90 == 0 ? [0, 1, 0, -1][(R / 90 + 4) % 4]"
                                       " : Math.sin(R * Math.PI / 180));\r\n"
                                       "}\r\n"
                                       "function COS(A){\r\n"
                                       "  var R = A % 360;\r\n"
                                       "  return (R % 90 == 0 ? [1, 0, -1, 0][(R / 90 + 4) % 4]"
                                       " : Math.cos(R * Math.PI / 180));\r\n"
                                       "}\r\n"
                                       "function TAN(A){\r\n"
                                       "  var R = A % 360;\r\n"
                                       "  return (R % 45 == 0 ? [0, 1, NaN, -1][(R / 45 + 8) % 4]"
                                       " : Math.tan(R * Math.PI / 180));\r\n"
                                       "}\r\n"
                                       "function ABS(A){\r\n"
                                       "  return (Math.abs(A));\r\n"
                                       "}\r\n"
                                       "function ASIN(A){\r\n"
                                       "  return (Math.asin(A) * 180 / Math.PI);\r\n"
                                       "}\r\n"
                                       "function ACOS(A){\r\n"
                                       "  return (Math.acos(A) * 180 / Math.PI);\r\n"
                                       "}\r\n"
                                       "function ATAN(A){\r\n"
                                       "  return (Math.atan(A) * 180 / Math.PI);\r\n"
                                       "}\r\n"
                                       "function INT(A){\r\n"
                                       "  return (parseInt(A));\r\n"
                                       "}\r\n"
                                       "function SQRT(A){\r\n"
                                       "  return (Math.sqrt(A));\r\n"
                                       "}\r\n"
                                       "function LN(A){\r\n"
                                       "  return (Math.log(A));\r\n"
                                       "}\r\n"
                                       "function LOG(A){\r\n"
                                       "  return (Math.log10(A));\r\n"
                                       "}\r\n"
                                       "function EXP(A){\r\n"
                                       "  return (Math.exp(A));\r\n"
                                       "}\r\n"
                                       "function POW(A,B){\r\n"
                                       "  return (Math.pow(A, B));\r\n"
                                       "}\r\n"
                                       "var PI = Math.PI;\r\n"
                                       "var E = Math.E;\r\n";
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
    // Upper-cased first: the rewriting brings in Math.pow.
    return ExpressionPrelude() + "result = " + RewritePowers(UpperCaseLetters(expression));
}

const std::array<FunctionMenuItem, 15> &FunctionMenu()
{
    static const std::array<FunctionMenuItem, 15> items = {{
        {"int1", "int    (取  整)", "取整", 0, "Int()"},
        {"abs1", "abs    (绝对值)", "绝对值", 1, "ABS()"},
        {"sqrt1", "sqrt   (开  方)", "开平方", 2, "Sqrt()"},
        {"sin1", "sin    (正  弦)", "正玄", 3, "Sin()"},
        {"cos1", "cos    (余  弦)", "余弦", 4, "Cos()"},
        {"tan1", "tan    (正  切)", "正切", 5, "Tan()"},
        {"asin1", "asin   (反正弦)", "", 6, "aSin()"},
        {"acos1", "acos   (反余弦)", "", 7, "aCos()"},
        {"atan1", "atan   (反正切)", "", 8, "aTan()"},
        {"ln1", "ln     (对数 e)", "自然对数", 9, "Ln()"},
        {"log1", "log    (对数10)", "常用对数", 10, "Log()"},
        {"exp1", "exp    (指  数)", "e 的乘方", 11, "Exp()"},
        {"pow1", "pow    (乘  方)", "乘方", 12, "Pow()"},
        {"pi1", "pi     (圆周率)", "圆周率", 13, "Pi"},
        {"e1", "e      (欧拉数)", "自然常数", 14, "E"},
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
    const bool call = !functionText.empty() && functionText.back() == ')';
    const std::size_t caret = edit.selectionStart + length - (call ? 1 : 0);
    out.selectionStart = std::min(caret, CharCount(out.text));
    return out;
}

ExpressionEdit InsertFunction(const ExpressionEdit &edit, std::string_view functionText)
{
    return EditInsert(edit, functionText, InsertedAt(edit.text, edit.selectionStart, functionText));
}

std::string EvaluateExpression(std::string_view expression, ScriptEvaluator &script)
{
    if (ExpressionTooDeep(expression) || !CommasSeparateArgumentsOnly(expression))
        return {};
    return script.EvalScript(BuildExpressionStatement(expression), kExpressionResultVariable);
}

std::string CalculateExpression(std::string_view input, ScriptEvaluator &script, ExpressionReadOutHost &host)
{
    const std::string output = EvaluateExpression(input, script);
    ExpressionReadOut(output, host);
    return output;
}

} // namespace tallyvox

// SPDX-License-Identifier: GPL-3.0-or-later
#include "tape/TapeEntry.h"

#include "engine/KeyTable.h"
#include "numbers/NumberText.h"
#include "voice/NumberWords.h"
#include "voice/ReadOut.h"

#include <cmath>

namespace tallyvox {

namespace {

constexpr const char *kErrorText = "错误！";
constexpr const char *kErrorCue = "错误";
constexpr const char *kEqualsCue = "等于";

// How the tape writes a key: a binary operator stands spaced between its
// operands; a function stands before its operand (before) or after it
// (after). cue replaces a key cue that says nothing.
struct TermForm {
    std::string_view token;
    std::string_view before;
    std::string_view after = "";
    bool binary = false;
    std::string_view cue = "";
};

constexpr TermForm kForms[] = {
    {"+", "+", "", true},
    {"-", "-", "", true},
    {"*", "×", "", true},
    {"/", "÷", "", true},
    {"Mod", "mod", "", true},
    {"Exp", "Exp", "", true, "E"},
    {"x^y", "^", "", true},
    {"y-root", "ʸ√", "", true},
    {"F-E", "F-E", "", true},
    {"sqrt", "√"},
    {"cbrt", "∛"},
    {"1/x", "1/"},
    {"10^x", "10^"},
    {"x^2", "", "²"},
    {"x^3", "", "³"},
    {"n!", "", "!"},
    {"ln", "ln "},
    {"Log", "log "},
    {"Int", "int "},
    {"sin", "sin "},
    {"cos", "cos "},
    {"tan", "tan "},
    {"sinh", "sinh "},
    {"cosh", "cosh "},
    {"tanh", "tanh "},
    {"asin", "asin "},
    {"acos", "acos "},
    {"atan", "atan "},
};

const TermForm *FormOf(std::string_view token)
{
    for (const TermForm &form : kForms)
        if (form.token == token)
            return &form;
    return nullptr;
}

std::string KeyCue(const TermForm &form)
{
    if (!form.cue.empty())
        return std::string(form.cue);
    const KeyDef *key = FindKeyByToken(form.token);
    return key ? std::string(key->cue) : std::string();
}

// Screen reader words of a key: what it says for the key itself.
std::string KeyWords(const TermForm &form)
{
    if (const KeyDef *key = FindKeyByToken(form.token))
        return std::string(key->words);
    return std::string(TrimBlanks(form.before.empty() ? form.after : form.before));
}

bool IsNumber(std::string_view text, Extended *value)
{
    return TryParseNumber(TrimBlanks(text), false, value) && std::isfinite(*value);
}

// A number as the equals read-out says it; typed digits beyond what the
// number words reach are said one by one, and what is no number is the error.
void AddNumberCues(std::string_view text, std::vector<std::string> &cues)
{
    Extended value = 0;
    const std::string_view trimmed = TrimBlanks(text);
    if (!IsNumber(trimmed, &value)) {
        cues.emplace_back(kErrorCue);
        return;
    }
    std::vector<std::string> more;
    try {
        more = CueNamesOf(MainReadOutText(trimmed, value >= 0));
    } catch (const CalcError &) {
        std::string spoken(trimmed);
        if (!spoken.empty() && spoken.front() == '-')
            spoken.replace(0, 1, "负");
        more = CueNamesOf(spoken);
    }
    for (std::string &cue : more)
        cues.push_back(cue == "e" ? "E" : std::move(cue)); // "1e3" typed in an expression
}

std::string NumberWords(std::string_view text)
{
    Extended value = 0;
    if (!IsNumber(text, &value))
        return kErrorCue;
    std::string words(TrimBlanks(text));
    if (!words.empty() && words.front() == '-')
        words.replace(0, 1, "负");
    return words;
}

// The three forms of a calculation, made in one walk over its terms.
struct Rendered {
    std::string text;
    std::vector<std::string> cues;
    std::string words;
};

class Renderer {
public:
    explicit Renderer(const std::vector<CalculationTerm> &terms) : terms_(terms) {}

    Rendered Run()
    {
        for (std::size_t i = 0; i < terms_.size();) {
            const CalculationTerm &term = terms_[i];
            const TermForm *form = term.kind == CalculationTerm::Kind::Key ? FormOf(term.text) : nullptr;
            if (form && form->binary) {
                out_.text += " " + std::string(form->before) + " ";
                Cue(KeyCue(*form));
                out_.words += KeyWords(*form);
                ++i;
            } else {
                i = Operand(i, out_);
            }
        }
        // An expression that starts with an operator, or a cut chain.
        out_.text = std::string(TrimBlanks(out_.text));
        return std::move(out_);
    }

private:
    void Cue(const std::string &cue)
    {
        if (!cue.empty())
            out_.cues.push_back(cue);
    }

    // One operand from terms_[i] into out (its text; cues and words always
    // into out_); returns the index after it.
    std::size_t Operand(std::size_t i, Rendered &out)
    {
        if (i >= terms_.size())
            return i;
        const CalculationTerm &term = terms_[i];
        switch (term.kind) {
        case CalculationTerm::Kind::Number:
            out.text += term.text;
            AddNumberCues(term.text, out_.cues);
            out_.words += NumberWords(term.text);
            return i + 1;
        case CalculationTerm::Kind::Text:
            out.text += term.text;
            out_.words += term.text;
            return i + 1;
        case CalculationTerm::Kind::Key: break;
        }
        const TermForm *form = FormOf(term.text);
        if (!form || form->binary) {
            // A token this version does not know, shown as it is.
            out.text += term.text;
            out_.words += term.text;
            return i + 1;
        }
        if (form->after.empty()) {
            out.text += form->before;
            Cue(KeyCue(*form));
            out_.words += KeyWords(*form);
            return Operand(i + 1, out);
        }
        // After its operand: brackets around an operand that is more than a number.
        Rendered inner;
        const std::size_t next = Operand(i + 1, inner);
        out.text += next - (i + 1) > 1 ? "(" + inner.text + ")" : inner.text;
        out.text += form->after;
        Cue(KeyCue(*form));
        out_.words += KeyWords(*form);
        return next;
    }

    const std::vector<CalculationTerm> &terms_;
    Rendered out_;
};

} // namespace

std::string TermsText(const std::vector<CalculationTerm> &terms)
{
    return Renderer(terms).Run().text;
}

std::string EntryText(const CalculationRecord &calculation)
{
    return TermsText(calculation.terms) + " = " + calculation.result;
}

bool HasNumberResult(const CalculationRecord &calculation)
{
    Extended value = 0;
    return IsNumber(calculation.result, &value);
}

std::vector<std::string> TermsCues(const std::vector<CalculationTerm> &terms)
{
    return Renderer(terms).Run().cues;
}

std::vector<std::string> EntryCues(const CalculationRecord &calculation)
{
    std::vector<std::string> cues = TermsCues(calculation.terms);
    cues.emplace_back(kEqualsCue);
    AddNumberCues(calculation.result, cues);
    return cues;
}

std::vector<std::string> PositionCues(std::size_t position)
{
    std::vector<std::string> cues{"第"};
    for (std::string &cue : CueNamesOf(NumToBigStr(std::to_string(position))))
        cues.push_back(std::move(cue));
    cues.emplace_back("条");
    return cues;
}

std::string EntryAccessibleName(const CalculationRecord &calculation, std::size_t position)
{
    return "第" + std::to_string(position) + "条，" + Renderer(calculation.terms).Run().words + kEqualsCue +
           NumberWords(calculation.result);
}

CalculationRecord ExpressionCalculation(std::string_view input, std::string_view result)
{
    using Kind = CalculationTerm::Kind;
    CalculationRecord record;
    auto &terms = record.terms;
    const auto isDigit = [](char c) { return c >= '0' && c <= '9'; };
    const auto isWordChar = [&](char c) {
        return isDigit(c) || c == '_' || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
    };
    // A minus is a sign where no operand stands before it.
    const auto operandBefore = [&] {
        if (terms.empty())
            return false;
        const CalculationTerm &last = terms.back();
        if (last.kind == Kind::Key)
            return false;
        return last.kind == Kind::Number || (last.text.back() != '(' && last.text.back() != ',');
    };
    for (std::size_t i = 0; i < input.size();) {
        const char c = input[i];
        const bool inWord = !terms.empty() && terms.back().kind == Kind::Text && isWordChar(terms.back().text.back());
        const bool startsNumber = isDigit(c) || (c == '.' && i + 1 < input.size() && isDigit(input[i + 1]));
        const bool signedNumber =
            c == '-' && !operandBefore() && i + 1 < input.size() && (isDigit(input[i + 1]) || input[i + 1] == '.');
        if ((startsNumber && !inWord) || signedNumber) {
            std::size_t end = i + 1;
            while (end < input.size() && (isDigit(input[end]) || input[end] == '.'))
                ++end;
            if (end < input.size() && (input[end] == 'e' || input[end] == 'E')) {
                std::size_t exponent = end + 1;
                if (exponent < input.size() && (input[exponent] == '+' || input[exponent] == '-'))
                    ++exponent;
                if (exponent < input.size() && isDigit(input[exponent])) {
                    end = exponent;
                    while (end < input.size() && isDigit(input[end]))
                        ++end;
                }
            }
            terms.push_back({Kind::Number, std::string(input.substr(i, end - i))});
            i = end;
            continue;
        }
        static constexpr std::pair<char, const char *> kOperators[] = {
            {'+', "+"}, {'-', "-"}, {'*', "*"}, {'/', "/"}, {'^', "x^y"}};
        const char *token = nullptr;
        for (const auto &[sign, name] : kOperators)
            if (c == sign)
                token = name;
        if (token) {
            terms.push_back({Kind::Key, token});
        } else if (c != ' ' && c != '\t' && c != '\r' && c != '\n') {
            if (terms.empty() || terms.back().kind != Kind::Text)
                terms.push_back({Kind::Text, {}});
            terms.back().text += c;
        }
        ++i;
    }
    record.result = TrimBlanks(result).empty() ? std::string(kErrorText) : std::string(TrimBlanks(result));
    return record;
}

} // namespace tallyvox

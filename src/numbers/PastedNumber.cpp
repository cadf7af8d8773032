// SPDX-License-Identifier: GPL-3.0-or-later
#include "numbers/PastedNumber.h"

#include "numbers/NumberText.h"
#include "numbers/Utf8.h"

#include <vector>

namespace tallyvox {

namespace {

// Marks a digit-group separator in the ASCII form; any other byte is a
// character of the number.
constexpr char kNoSeparator = 0;

char32_t CodePoint(std::string_view text, std::size_t at, std::size_t length)
{
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[at + i]); };
    switch (length) {
    case 1: return byte(0);
    case 2: return (char32_t{byte(0)} & 0x1F) << 6 | (byte(1) & 0x3F);
    case 3: return (char32_t{byte(0)} & 0x0F) << 12 | (char32_t{byte(1)} & 0x3F) << 6 | (byte(2) & 0x3F);
    default:
        return (char32_t{byte(0)} & 0x07) << 18 | (char32_t{byte(1)} & 0x3F) << 12 | (char32_t{byte(2)} & 0x3F) << 6 |
               (byte(3) & 0x3F);
    }
}

bool IsBlank(char32_t c)
{
    return c <= U' ' || c == 0x00A0 || c == 0x2007 || c == 0x2009 || c == 0x202F || c == 0x3000 || c == 0xFEFF;
}

// The separator class of a character, or 0. A plain space is none: "100 200"
// is two numbers.
char SeparatorClass(char32_t c)
{
    switch (c) {
    case U',':
    case 0xFF0C: return ',';
    case U'\'':
    case 0x2019:
    case 0xFF07: return '\'';
    case 0x00A0:
    case 0x2007:
    case 0x2009:
    case 0x202F:
    case 0x3000: return ' ';
    default: return kNoSeparator;
    }
}

// The ASCII character a number character stands for, or 0.
char NumberChar(char32_t c)
{
    if (c >= U'0' && c <= U'9')
        return static_cast<char>(c);
    if (c >= 0xFF10 && c <= 0xFF19)
        return static_cast<char>('0' + (c - 0xFF10));
    switch (c) {
    case U'+':
    case 0xFF0B: return '+';
    case U'-':
    case 0x2212:
    case 0xFF0D: return '-';
    case U'.':
    case 0xFF0E: return '.';
    case U'e':
    case U'E':
    case 0xFF25:
    case 0xFF45: return 'E';
    default: return 0;
    }
}

struct Piece {
    char ascii;     // the number character, or kNoSeparator
    char separator; // the separator class when ascii is kNoSeparator
};

// Whether the digit runs between separators form groups of three: the first
// run of a whole part 1-3 digits, of a fraction exactly 3 (the last 1-3).
bool GroupsOfThree(const std::vector<std::size_t> &runs, bool fraction)
{
    if (runs.size() < 2)
        return true;
    for (std::size_t i = 0; i < runs.size(); ++i) {
        const bool first = i == 0, last = i + 1 == runs.size();
        const std::size_t n = runs[i];
        if (n == 0 || n > 3)
            return false;
        if (n != 3 && !(fraction ? last : first))
            return false;
    }
    return true;
}

} // namespace

std::optional<std::string> PastedNumberText(std::string_view text, std::size_t maxChars)
{
    // Decoded once; malformed UTF-8 is no number.
    std::vector<char32_t> chars;
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t length = WellFormedCharLength(text, at);
        if (length == 0)
            return std::nullopt;
        chars.push_back(CodePoint(text, at, length));
        at += length;
        if (chars.size() > 4 * maxChars + 64)
            return std::nullopt; // far too long to be a number that fits
    }
    std::size_t first = 0, end = chars.size();
    while (first < end && IsBlank(chars[first]))
        ++first;
    while (end > first && IsBlank(chars[end - 1]))
        --end;

    std::vector<Piece> pieces;
    for (std::size_t i = first; i < end; ++i) {
        if (const char a = NumberChar(chars[i]))
            pieces.push_back({a, kNoSeparator});
        else if (const char s = SeparatorClass(chars[i]))
            pieces.push_back({kNoSeparator, s});
        else
            return std::nullopt;
    }

    // A sign, then the mantissa up to "E", whose separators stand between
    // digits, are of one kind and make groups of three; then the exponent.
    std::string ascii;
    std::size_t i = 0;
    if (!pieces.empty() && (pieces[0].ascii == '+' || pieces[0].ascii == '-'))
        ascii.push_back(pieces[i++].ascii);
    char separatorKind = kNoSeparator;
    bool inFraction = false;
    std::vector<std::size_t> runs{0};
    for (; i < pieces.size() && pieces[i].ascii != 'E'; ++i) {
        const Piece &p = pieces[i];
        if (p.ascii == kNoSeparator) {
            if (runs.back() == 0 || (separatorKind != kNoSeparator && separatorKind != p.separator))
                return std::nullopt;
            separatorKind = p.separator;
            runs.push_back(0);
            continue;
        }
        if (p.ascii == '.') {
            if (inFraction || !GroupsOfThree(runs, false))
                return std::nullopt;
            inFraction = true;
            runs.assign(1, 0);
        } else if (p.ascii >= '0' && p.ascii <= '9') {
            ++runs.back();
        } else {
            return std::nullopt;
        }
        ascii.push_back(p.ascii);
    }
    if (!GroupsOfThree(runs, inFraction))
        return std::nullopt;
    for (; i < pieces.size(); ++i) {
        if (pieces[i].ascii == kNoSeparator)
            return std::nullopt;
        ascii.push_back(pieces[i].ascii);
    }
    if (ascii.empty() || CharCount(ascii) > maxChars)
        return std::nullopt;

    // The grammar: sign, digits, at most one point, optional exponent.
    std::size_t at = 0;
    bool negative = false;
    if (ascii[at] == '+' || ascii[at] == '-')
        negative = ascii[at++] == '-';
    std::string whole, fraction;
    bool point = false;
    for (; at < ascii.size() && ascii[at] != 'E'; ++at) {
        if (ascii[at] == '.') {
            if (point)
                return std::nullopt;
            point = true;
        } else if (ascii[at] >= '0' && ascii[at] <= '9') {
            (point ? fraction : whole).push_back(ascii[at]);
        } else {
            return std::nullopt;
        }
    }
    if (whole.empty() && fraction.empty())
        return std::nullopt;
    const bool exponent = at < ascii.size();
    if (exponent) {
        std::size_t digits = at + 1;
        if (digits < ascii.size() && (ascii[digits] == '+' || ascii[digits] == '-'))
            ++digits;
        if (digits == ascii.size())
            return std::nullopt;
        for (std::size_t i = digits; i < ascii.size(); ++i)
            if (ascii[i] < '0' || ascii[i] > '9')
                return std::nullopt;
    }
    Extended value = 0;
    if (!TryParseNumber(ascii, false, &value))
        return std::nullopt;
    if (exponent)
        return GeneralNumberText(value);

    // A plain decimal keeps the digits as written, as typing would show them.
    const std::size_t zeros = whole.find_first_not_of('0');
    whole = zeros == std::string::npos ? "0" : whole.substr(zeros);
    std::string out = whole;
    if (!fraction.empty())
        out += "." + fraction;
    const bool zero = out.find_first_of("123456789") == std::string::npos;
    return negative && !zero ? "-" + out : out;
}

} // namespace tallyvox

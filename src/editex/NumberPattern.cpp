// SPDX-License-Identifier: GPL-3.0-or-later
#include "editex/NumberPattern.h"

#include <cmath>
#include <cstdio>

namespace tallyvox {

namespace {

struct Pattern {
    bool group = false;
    int minInt = 0;  // integer digits always shown
    int minFrac = 0; // places always shown
    int maxFrac = 0; // places shown at most
};

Pattern ParsePattern(std::string_view p)
{
    Pattern r;
    bool inFrac = false;
    bool seenZero = false;
    int fracCount = 0;
    for (char c : p) {
        if (c == '.' && !inFrac) {
            inFrac = true;
        } else if (c == ',' && !inFrac) {
            r.group = true;
        } else if (c == '0' || c == '#') {
            if (inFrac) {
                ++fracCount;
                if (c == '0')
                    r.minFrac = fracCount;
            } else {
                // Integer digits count from the leftmost "0" on.
                if (c == '0')
                    seenZero = true;
                if (seenZero)
                    ++r.minInt;
            }
        }
    }
    r.maxFrac = fracCount;
    return r;
}

} // namespace

std::string FormatNumberPattern(std::string_view pattern, Extended v)
{
    if (!std::isfinite(v) || std::fabs(v) >= 1e18L)
        return GeneralNumberText(v);
    const Pattern pat = ParsePattern(pattern);
    const bool negative = std::signbit(v);

    // 18 significant digits: d.ddddddddddddddddde±x
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.17Le", std::fabs(v));
    std::string mant;
    int exp10 = 0;
    {
        std::string s(buf);
        const auto e = s.find('e');
        exp10 = std::stoi(s.substr(e + 1));
        for (std::size_t i = 0; i < e; ++i)
            if (s[i] >= '0' && s[i] <= '9')
                mant += s[i];
    }
    // digits[i] has the weight 10^(exp10 - i); lay them out as integer
    // digits and places.
    std::string intDigits, fracDigits;
    if (v == 0) {
        intDigits = "0";
    } else if (exp10 >= 0) {
        for (int i = 0; i <= exp10; ++i)
            intDigits += i < int(mant.size()) ? mant[i] : '0';
        if (exp10 + 1 < int(mant.size()))
            fracDigits = mant.substr(exp10 + 1);
    } else {
        intDigits = "0";
        fracDigits = std::string(-exp10 - 1, '0') + mant;
    }

    // Round half away from zero at maxFrac places.
    if (int(fracDigits.size()) > pat.maxFrac) {
        const bool up = fracDigits[pat.maxFrac] >= '5';
        fracDigits.resize(pat.maxFrac);
        if (up) {
            std::string all = intDigits + fracDigits;
            int i = int(all.size()) - 1;
            while (i >= 0 && all[i] == '9')
                all[i--] = '0';
            if (i >= 0)
                ++all[i];
            else
                all.insert(all.begin(), '1');
            intDigits = all.substr(0, all.size() - fracDigits.size());
            fracDigits = all.substr(all.size() - fracDigits.size());
        }
    }
    fracDigits.resize(pat.maxFrac, '0');
    while (int(fracDigits.size()) > pat.minFrac && fracDigits.back() == '0')
        fracDigits.pop_back();

    // Strip leading zeros, then pad to the shown integer digits.
    std::size_t lead = intDigits.find_first_not_of('0');
    intDigits = lead == std::string::npos ? std::string() : intDigits.substr(lead);
    if (int(intDigits.size()) < pat.minInt)
        intDigits.insert(0, pat.minInt - intDigits.size(), '0');

    const bool nonZero = (intDigits + fracDigits).find_first_not_of('0') != std::string::npos;

    std::string out;
    if (negative && nonZero)
        out += '-';
    for (std::size_t i = 0; i < intDigits.size(); ++i) {
        if (pat.group && i > 0 && (intDigits.size() - i) % 3 == 0)
            out += ',';
        out += intDigits[i];
    }
    if (!fracDigits.empty()) {
        out += '.';
        out += fracDigits;
    }
    return out;
}

std::string MakeFormatStr(bool showThousands, int decimalPlaces)
{
    std::string s = showThousands ? "#,0" : "0";
    if (decimalPlaces > 0)
        s += '.' + std::string(decimalPlaces, '0');
    return s;
}

std::int32_t MakeMaxLength(int integerLength, bool showThousands, int decimalPlaces)
{
    std::int32_t n = integerLength;
    if (showThousands) {
        n = integerLength + integerLength / 3;
        if (integerLength > 0 && integerLength % 3 == 0)
            --n; // no separator in front of the first group
    }
    if (decimalPlaces > 0)
        n += decimalPlaces + 1;
    return n;
}

} // namespace tallyvox

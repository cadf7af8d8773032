// SPDX-License-Identifier: GPL-3.0-or-later
#include "numbers/NumberText.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>

#include <locale.h>

namespace tallyvox {

namespace {

constexpr int MaxDigits = 18;

// |v| = 0.d1 d2 ... dk × 10^exponent. count == 0 means the value has no
// digits (zero, negative zero, denormal) and then counts as unsigned zero.
struct DecimalDigits {
    std::array<char, MaxDigits> digits{};
    int count = 0;
    int exponent = 0;
    bool negative = false;
};

using U128 = unsigned __int128;

// A power of ten as c·2^t with c in [2^127, 2^128). Every step truncates, so
// c·2^t never exceeds the true power and is within a relative 2^-110 of it.
struct Power10 {
    U128 c;
    int t;
};

Power10 Multiply(Power10 a, Power10 b)
{
    const std::uint64_t a0 = static_cast<std::uint64_t>(a.c), a1 = static_cast<std::uint64_t>(a.c >> 64);
    const std::uint64_t b0 = static_cast<std::uint64_t>(b.c), b1 = static_cast<std::uint64_t>(b.c >> 64);
    const U128 p00 = U128(a0) * b0, p01 = U128(a0) * b1, p10 = U128(a1) * b0, p11 = U128(a1) * b1;
    const U128 mid = (p00 >> 64) + static_cast<std::uint64_t>(p01) + static_cast<std::uint64_t>(p10);
    U128 hi = p11 + (p01 >> 64) + (p10 >> 64) + (mid >> 64);
    const std::uint64_t loTop = static_cast<std::uint64_t>(mid); // bits 64..127 of the product
    int t = a.t + b.t + 128;
    if (!(hi >> 127)) {
        hi = (hi << 1) | (loTop >> 63);
        --t;
    }
    return {hi, t};
}

constexpr int BlockDigits = 32;
constexpr int BlockRange = 160; // 10^(±5120) covers every normal extended value

struct Power10Table {
    Power10 small[BlockDigits];        // 10^0 .. 10^31, exact
    Power10 block[2 * BlockRange + 1]; // 10^(32a) for a in -160..160

    Power10Table()
    {
        U128 ten = 1;
        for (int b = 0; b < BlockDigits; ++b, ten *= 10) {
            int shift = 0;
            while (!((ten << shift) >> 127))
                ++shift;
            small[b] = {ten << shift, -shift};
        }
        Power10 *zero = block + BlockRange;
        zero[0] = small[0];
        U128 tenth = 0;
        for (int i = 0; i < 32; ++i)
            tenth = (tenth << 4) | 0xC; // 2^131 / 10, truncated
        Power10 down = small[0];
        for (int i = 0; i < BlockDigits; ++i)
            down = Multiply(down, {tenth, -131});
        const Power10 up = Multiply(small[16], small[16]);
        for (int a = 1; a <= BlockRange; ++a) {
            zero[a] = Multiply(zero[a - 1], up);
            zero[-a] = Multiply(zero[-a + 1], down);
        }
    }

    Power10 Get(int s) const
    {
        const int a = (s >= 0 ? s : s - (BlockDigits - 1)) / BlockDigits;
        const int b = s - a * BlockDigits;
        const Power10 big = block[BlockRange + a];
        return b == 0 ? big : Multiply(big, small[b]);
    }
};

constexpr std::uint64_t Pow10_17 = 100000000000000000ULL;
constexpr std::uint64_t Pow10_18 = 1000000000000000000ULL;

// Bits j .. j+63 of a 192-bit number held in limbs[0..2] (limbs[3] is 0).
std::uint64_t BitsAt(const std::uint64_t *limbs, int j)
{
    const int w = j >> 6, r = j & 63;
    return r ? (limbs[w] >> r) | (limbs[w + 1] << (64 - r)) : limbs[w];
}

// The correctly rounded 18-digit expansion n of a positive normal value and
// its E, from a 192-bit product with a power of ten. False when the value
// lies too near a rounding boundary to decide from the approximation.
bool FastExpansion(Extended a, std::uint64_t *n, int *exponent)
{
    static const Power10Table table;
    int ex = 0;
    const Extended f = std::frexp(a, &ex); // a = m·2^(ex-64)
    const std::uint64_t m = static_cast<std::uint64_t>(std::ldexp(f, 64));
    int e = static_cast<int>(std::floor((ex - 1) * 0.30102999566398119521L)) + 1;
    constexpr std::uint64_t Margin = std::uint64_t(1) << 24; // 2^-40 of one unit
    for (int attempt = 0; attempt < 3; ++attempt) {
        const Power10 p = table.Get(18 - e);
        const U128 q0 = U128(m) * static_cast<std::uint64_t>(p.c);
        const U128 q1 = U128(m) * static_cast<std::uint64_t>(p.c >> 64);
        const U128 mid = (q0 >> 64) + static_cast<std::uint64_t>(q1);
        const std::uint64_t limbs[4] = {static_cast<std::uint64_t>(q0), static_cast<std::uint64_t>(mid),
                                        static_cast<std::uint64_t>((q1 >> 64) + (mid >> 64)), 0};
        const int k = 64 - ex - p.t; // the expansion is limbs / 2^k
        if (k < 64 || k > 191 || (k + 64 < 192 && BitsAt(limbs, k + 64) != 0))
            return false;
        std::uint64_t whole = BitsAt(limbs, k);
        if (whole >= Pow10_18) {
            ++e;
            continue;
        }
        if (whole < Pow10_17) {
            --e;
            continue;
        }
        const std::uint64_t frac = BitsAt(limbs, k - 64);
        const std::uint64_t half = std::uint64_t(1) << 63;
        if (frac > half - Margin && frac < half + Margin)
            return false;
        if (frac > half)
            ++whole;
        if (whole == Pow10_18) {
            whole = Pow10_17;
            ++e;
        }
        *n = whole;
        *exponent = e;
        return true;
    }
    return false;
}

// The digits of v for precision p (2..18): the correctly rounded 18-digit
// expansion first, then half-up rounding at digit p. The two steps are part
// of the program's behaviour: a value just below a ...5 boundary at digit p+1
// can round up here where a single rounding would not.
DecimalDigits DigitsOf(Extended v, int p)
{
    DecimalDigits d;
    if (!std::isfinite(v) || std::fabs(v) < LDBL_MIN) // zero, denormal
        return d;

    std::uint64_t n = 0;
    if (FastExpansion(std::fabs(v), &n, &d.exponent)) {
        for (int i = MaxDigits - 1; i >= 0; --i, n /= 10)
            d.digits[i] = static_cast<char>('0' + n % 10);
    } else {
        // Near a tie: to_chars is exact and locale-independent
        // ("1.23456789012345678e+17"); a carry to 10^18 already moves the exponent.
        char buf[48];
        const auto res =
            std::to_chars(buf, buf + sizeof buf, std::fabs(v), std::chars_format::scientific, MaxDigits - 1);
        d.digits[0] = buf[0];
        for (int i = 1; i < MaxDigits; ++i)
            d.digits[i] = buf[i + 1];
        const char *exp = buf + MaxDigits + 2; // after "d." + 17 digits + "e"
        if (*exp == '+')
            ++exp;
        int e10 = 0;
        std::from_chars(exp, res.ptr, e10);
        d.exponent = e10 + 1;
    }
    d.negative = std::signbit(v);

    int count = MaxDigits;
    if (p < MaxDigits) {
        count = p;
        if (d.digits[p] >= '5') {
            int i = p - 1;
            while (i >= 0 && d.digits[i] == '9') {
                d.digits[i] = '0';
                --i;
            }
            if (i >= 0) {
                ++d.digits[i];
            } else {
                d.digits[0] = '1';
                count = 1;
                ++d.exponent;
            }
        }
    }
    while (count > 0 && d.digits[count - 1] == '0')
        --count;
    d.count = count;
    if (count == 0) {
        d.exponent = 0;
        d.negative = false;
    }
    return d;
}

// Texts for values that arithmetic never leaves on the display (every
// operation that would make them is a fault); shown rather than garbled.
bool NonFiniteText(Extended v, std::string &out)
{
    if (std::isnan(v)) {
        out = "NAN";
        return true;
    }
    if (std::isinf(v)) {
        out = v < 0 ? "-INF" : "INF";
        return true;
    }
    return false;
}

bool IsBlank(char c)
{
    return static_cast<unsigned char>(c) <= 0x20;
}

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

// [+-] digits [. digits] [(e|E) [+-] digits], with at least one digit before
// the exponent. Anything strtold would take beyond this (inf, nan, hex,
// locale points) is not a number here.
bool IsDecimalText(std::string_view s)
{
    std::size_t i = 0;
    const std::size_t n = s.size();
    if (i < n && (s[i] == '+' || s[i] == '-'))
        ++i;
    std::size_t mantissaDigits = 0;
    while (i < n && IsDigit(s[i])) {
        ++i;
        ++mantissaDigits;
    }
    if (i < n && s[i] == '.') {
        ++i;
        while (i < n && IsDigit(s[i])) {
            ++i;
            ++mantissaDigits;
        }
    }
    if (mantissaDigits == 0)
        return false;
    if (i < n && (s[i] == 'e' || s[i] == 'E')) {
        ++i;
        if (i < n && (s[i] == '+' || s[i] == '-'))
            ++i;
        std::size_t expDigits = 0;
        while (i < n && IsDigit(s[i])) {
            ++i;
            ++expDigits;
        }
        if (expDigits == 0)
            return false;
    }
    return i == n;
}

locale_t CLocale()
{
    static const locale_t loc = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    return loc;
}

// The text after comma removal and trimming; false when it is no number or
// lies beyond the extended range. Underflow to a denormal or 0 converts.
bool ConvertDecimal(std::string_view text, bool removeCommas, Extended *out)
{
    std::string buf;
    if (removeCommas) {
        buf.reserve(text.size());
        for (char c : text)
            if (c != ',')
                buf.push_back(c);
        text = buf;
    }
    text = TrimBlanks(text);
    if (!IsDecimalText(text))
        return false;
    // strtold needs a terminated copy; the "C" locale keeps "." the point
    // whatever the process locale is.
    const std::string s(text);
    char *end = nullptr;
    const Extended v = strtold_l(s.c_str(), &end, CLocale());
    if (end != s.c_str() + s.size() || std::isinf(v))
        return false;
    *out = v;
    return true;
}

} // namespace

std::string_view TrimBlanks(std::string_view s)
{
    while (!s.empty() && IsBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

bool TryParseNumber(std::string_view text, bool removeCommas, Extended *out)
{
    Extended v = 0;
    if (!ConvertDecimal(text, removeCommas, &v))
        return false;
    if (out)
        *out = v;
    return true;
}

Extended ParseNumberText(std::string_view text, bool removeCommas)
{
    Extended v = 0;
    if (!ConvertDecimal(text, removeCommas, &v))
        return 0;
    return v;
}

Extended StrToFloat(std::string_view text)
{
    Extended v = 0;
    if (!ConvertDecimal(text, false, &v))
        throw ConversionError(text);
    return v;
}

std::string GeneralNumberText(Extended v)
{
    return GeneralNumberText(v, 15);
}

std::string GeneralNumberText(Extended v, int significantDigits)
{
    std::string out;
    if (NonFiniteText(v, out))
        return out;
    const DecimalDigits d = DigitsOf(v, std::clamp(significantDigits, 1, 15));
    if (d.count == 0)
        return "0";
    out.reserve(24);
    if (d.negative)
        out.push_back('-');
    const int k = d.count;
    const int e = d.exponent;
    if (e >= -3 && e <= 15) {
        if (e > 0) {
            for (int i = 0; i < e; ++i)
                out.push_back(i < k ? d.digits[i] : '0');
            if (k > e) {
                out.push_back('.');
                out.append(d.digits.data() + e, k - e);
            }
        } else {
            out.append("0.");
            out.append(-e, '0');
            out.append(d.digits.data(), k);
        }
    } else {
        out.push_back(d.digits[0]);
        if (k > 1) {
            out.push_back('.');
            out.append(d.digits.data() + 1, k - 1);
        }
        out.push_back('E');
        out.append(std::to_string(e - 1));
    }
    return out;
}

std::string ExponentNumberText(Extended v, int n)
{
    std::string out;
    if (NonFiniteText(v, out))
        return out;
    const int p = n < 2 ? 2 : (n > MaxDigits ? 15 : n);
    const DecimalDigits d = DigitsOf(v, p);
    out.reserve(p + 12);
    if (d.count > 0 && d.negative)
        out.push_back('-');
    auto digit = [&](int i) { return i < d.count ? d.digits[i] : '0'; };
    out.push_back(digit(0));
    out.push_back('.');
    for (int i = 1; i < p; ++i)
        out.push_back(digit(i));
    const int e = d.count > 0 ? d.exponent - 1 : 0;
    out.push_back('E');
    out.push_back(e < 0 ? '-' : '+');
    const std::string mag = std::to_string(e < 0 ? -e : e);
    if (mag.size() < 3)
        out.append(3 - mag.size(), '0');
    out.append(mag);
    return out;
}

} // namespace tallyvox

// SPDX-License-Identifier: GPL-3.0-or-later
#include "numbers/NumberText.h"
#include "numbers/Power.h"
#include "numbers/Utf8.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

using namespace tallyvox;

namespace {

struct GeneralCase {
    Extended value;
    const char *text;
};

TEST(GeneralNumberText, Table)
{
    const GeneralCase cases[] = {
        {0.0L, "0"},
        {-0.0L, "0"},
        {100.0L, "100"},
        {1.0L / 3, "0.333333333333333"},
        {2.0L / 3, "0.666666666666667"},
        {-2.0L / 3, "-0.666666666666667"},
        {0.0001234L, "0.0001234"},
        {0.00001L, "1E-5"},
        {1e15L, "1E15"},
        {123456789012345678.0L, "1.23456789012346E17"},
        {-2.5L, "-2.5"},
        {999999999999999.0L, "999999999999999"},
        {999999999999999.9L, "1E15"},
        {0.0001L, "0.0001"},
        {0.00009L, "9E-5"},
        {0.000099999999999999995L, "0.0001"}, // rounds into fixed form
        {1.5L, "1.5"},
        {2e20L, "2E20"},
        {1.5e-7L, "1.5E-7"},
        {-1.5e-7L, "-1.5E-7"},
        {15.0L, "15"},
        {1e14L, "100000000000000"},
        {123456789012345.0L, "123456789012345"},
        {1234567.125L, "1234567.125"},
        {-0.001L, "-0.001"},
        {1e100L, "1E100"},
        {LDBL_MAX, "1.18973149535723E4932"},
        {LDBL_MIN, "3.36210314311209E-4932"}, // smallest normal still has digits
        {LDBL_MIN / 2, "0"},                  // denormals have none
        {-LDBL_TRUE_MIN, "0"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(GeneralNumberText(c.value), c.text) << "value " << static_cast<double>(c.value);
}

struct ExponentCase {
    Extended value;
    int n;
    const char *text;
};

TEST(ExponentNumberText, Table)
{
    const ExponentCase cases[] = {
        {12.5L, 3, "1.25E+001"},
        {12.0L, 3, "1.20E+001"},
        {12.5L, 2, "1.3E+001"},
        {0.0L, 1, "0.0E+000"},
        {-0.00015L, 4, "-1.500E-004"},
        {1234.5678L, 2, "1.2E+003"},
        {1.0L / 3, 25, "3.33333333333333E-001"},
        {9.99L, 2, "1.0E+001"},
        {-12.0L, 3, "-1.20E+001"},
        {0.0L, 5, "0.0000E+000"},
        {-0.0L, 3, "0.00E+000"},
        {LDBL_MIN / 4, 3, "0.00E+000"},
        {5.0L, 0, "5.0E+000"},
        {5.0L, -7, "5.0E+000"},
        {1.0L / 3, 18, "3.33333333333333333E-001"},
        {1.0L / 3, 19, "3.33333333333333E-001"},
        {2.0L / 3, 17, "6.6666666666666667E-001"},
        {1.0L, 2, "1.0E+000"},
        {0.5L, 2, "5.0E-001"},
        {1e10L, 4, "1.000E+010"},
        {1e-10L, 4, "1.000E-010"},
        {LDBL_MAX, 4, "1.190E+4932"},
        {-LDBL_MIN, 3, "-3.36E-4932"},
        {9.5L, 2, "9.5E+000"},
        {9.95L, 2, "1.0E+001"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(ExponentNumberText(c.value, c.n), c.text) << "value " << static_cast<double>(c.value) << " n " << c.n;
}

// The 18-digit expansion is rounded first and digit p then half up; a value
// just below a ...5 boundary therefore rounds up where one rounding would not.
// Each row also checks that printf's single rounding really goes the other way.
TEST(NumberText, TwoStepRounding)
{
    struct Case {
        Extended value;
        int p;
        const char *singleMantissa; // printf %.*Le, p - 1 digits after the point
        const char *exponentText;
        const char *generalText;
    };
    const Case cases[] = {
        {1234567890123454999.0L, 15, "1.23456789012345e+18", "1.23456789012346E+018", "1.23456789012346E18"},
        {9999999999999994999.0L, 15, "9.99999999999999e+18", "1.00000000000000E+019", "1E19"},
        {std::nextafter(0.1234567890123455L, 0.0L), 15, "1.23456789012345e-01", "1.23456789012346E-001",
         "0.123456789012346"},
        {1.25L - LDBL_EPSILON, 2, "1.2e+00", "1.3E+000", "1.25"},
        {2.675L, 3, "2.67e+00", "2.68E+000", "2.675"},
        {-2.675L, 3, "-2.67e+00", "-2.68E+000", "-2.675"},
    };
    for (const auto &c : cases) {
        char single[64];
        std::snprintf(single, sizeof single, "%.*Le", c.p - 1, c.value);
        EXPECT_STREQ(single, c.singleMantissa) << "not a two-step case: " << c.exponentText;
        EXPECT_EQ(ExponentNumberText(c.value, c.p), c.exponentText);
        EXPECT_EQ(GeneralNumberText(c.value), c.generalText);
    }
}

// printf's rounding is correct for long double, and the two-step rounding
// agrees with a single rounding unless the 18-digit expansion ends in
// digit p+1 = 5 followed by zeros. Random values across the whole range.
TEST(ExponentNumberText, AgreesWithSingleRoundingAwayFromTies)
{
    std::mt19937_64 rng(20240531);
    std::uniform_int_distribution<int> exp2dist(-16380, 16380);
    std::uniform_int_distribution<int> pdist(2, 18);
    int compared = 0;
    for (int i = 0; i < 20000; ++i) {
        const unsigned long long mant = rng() | (1ULL << 63);
        Extended v = std::ldexp(static_cast<Extended>(mant), exp2dist(rng) - 63);
        if (i % 2)
            v = -v;
        const int p = pdist(rng);

        char full[64];
        std::snprintf(full, sizeof full, "%.17Le", std::fabs(v));
        const std::string digits18 = std::string(1, full[0]) + std::string(full + 2, 17);
        if (p < 18 && digits18[p] == '5' && digits18.find_first_not_of('0', p + 1) == std::string::npos)
            continue;

        char single[64];
        std::snprintf(single, sizeof single, "%.*Le", p - 1, v);
        std::string expected(single);
        const auto e = expected.find('e');
        const int exponent = std::stoi(expected.substr(e + 1));
        char tail[16];
        std::snprintf(tail, sizeof tail, "E%c%03d", exponent < 0 ? '-' : '+', std::abs(exponent));
        expected = expected.substr(0, e) + tail;
        if (p == 2 && expected.find('.') == std::string::npos) // never happens for p >= 2
            FAIL();
        ASSERT_EQ(ExponentNumberText(v, p), expected) << full << " p " << p;
        ++compared;
    }
    EXPECT_GT(compared, 19000);
}

// The 18-digit expansion itself, where a value's digits are hardest to get:
// around every power of ten, at the ends of the range, and on exact ties
// (19-digit integers ending in 5), compared with printf's exact digits.
TEST(ExponentNumberText, EighteenDigitsAtBoundaries)
{
    auto expected18 = [](Extended v) {
        char full[64];
        std::snprintf(full, sizeof full, "%.17Le", v);
        std::string s(full);
        const auto e = s.find('e');
        const int exponent = std::stoi(s.substr(e + 1));
        char tail[16];
        std::snprintf(tail, sizeof tail, "E%c%03d", exponent < 0 ? '-' : '+', std::abs(exponent));
        return s.substr(0, e) + tail;
    };
    std::vector<Extended> values = {LDBL_MAX, std::nextafter(LDBL_MAX, 0.0L), LDBL_MIN, std::nextafter(LDBL_MIN, 1.0L),
                                    -LDBL_MIN};
    for (int k = -4931; k <= 4932; k += 3) {
        const Extended p = std::strtold(("1e" + std::to_string(k)).c_str(), nullptr);
        values.push_back(p);
        values.push_back(std::nextafter(p, 0.0L));
        values.push_back(std::nextafter(p, HUGE_VALL));
    }
    for (unsigned long long i = 0; i < 200; ++i) {
        values.push_back(static_cast<Extended>(1234567890123456785ULL + 10 * i));
        values.push_back(static_cast<Extended>(9999999999999999995ULL - 10 * i));
    }
    for (Extended v : values)
        ASSERT_EQ(ExponentNumberText(v, 18), expected18(v));
}

struct PowerCase {
    Extended base;
    Extended exponent;
    Extended result;
};

TEST(RaisePower, Values)
{
    const PowerCase cases[] = {
        {2, 10, 1024},
        {2, -1, 0.5L},
        {0, 0, 1},
        {0, 0.5L, 0},
        {0, -0.5L, 0},
        {0, 3, 0},
        {10, 3, 1000},
        {-8, 2, 64},
        {-2, 3, -8},
        {-2, -3, -0.125L},
        {5, -0.0L, 1},
        {1, 2147483647, 1},
        {-1, 2147483647, -1},
        {-1, -2147483647, -1},
        {3, 40, 12157665459056928801.0L}, // exact in 64 bits, lost in a double
        {2, 16383, std::ldexp(static_cast<Extended>(1), 16383)},
        {0.5L, 16445, LDBL_TRUE_MIN}, // underflow is silent
        {0.5L, 20000, 0},
        {4, 0.5L, 2},
    };
    for (const auto &c : cases)
        EXPECT_EQ(RaisePower(c.base, c.exponent), c.result)
            << static_cast<double>(c.base) << " ^ " << static_cast<double>(c.exponent);

    EXPECT_EQ(GeneralNumberText(RaisePower(27, 1.0L / 3)), "3");
    EXPECT_EQ(GeneralNumberText(RaisePower(2, 0.5L)), "1.4142135623731");
    EXPECT_NEAR(static_cast<double>(RaisePower(10, 2.5L)), 316.22776601683793, 1e-12);
    EXPECT_EQ(GeneralNumberText(RaisePower(1.0000001L, 1e10L)), GeneralNumberText(std::pow(1.0000001L, 1e10L)));
}

TEST(RaisePower, Faults)
{
    struct FaultCase {
        Extended base;
        Extended exponent;
        FaultKind kind;
    };
    const FaultCase cases[] = {
        {0, -1, FaultKind::DivisionByZero},
        {0, -2147483647, FaultKind::DivisionByZero},
        {1e-3000L, -2, FaultKind::DivisionByZero}, // the square underflows to 0 first
        {-8, 1.0L / 3, FaultKind::InvalidOperation},
        {-4, 0.5L, FaultKind::InvalidOperation},
        {-1, 2147483648.0L, FaultKind::InvalidOperation}, // beyond the whole-number path
        {2, 16384, FaultKind::Overflow},
        {10, 5000, FaultKind::Overflow},
        {1e3000L, 3, FaultKind::Overflow},   // the intermediate square already overflows
        {0.5L, -16384, FaultKind::Overflow}, // 1 / a denormal
        {2, -16384, FaultKind::Overflow},    // 2^16384 before the reciprocal
        {10, 1e10L, FaultKind::Overflow},
        {10, 5000.5L, FaultKind::Overflow},
    };
    for (const auto &c : cases) {
        try {
            const Extended r = RaisePower(c.base, c.exponent);
            ADD_FAILURE() << static_cast<double>(c.base) << " ^ " << static_cast<double>(c.exponent) << " gave "
                          << static_cast<double>(r);
        } catch (const FloatFault &f) {
            EXPECT_EQ(f.kind(), c.kind) << static_cast<double>(c.base) << " ^ " << static_cast<double>(c.exponent);
        }
    }
}

TEST(Faults, Messages)
{
    EXPECT_STREQ(FloatFault(FaultKind::InvalidOperation).what(), "Invalid floating point operation");
    EXPECT_STREQ(FloatFault(FaultKind::DivisionByZero).what(), "Floating point division by zero");
    EXPECT_STREQ(FloatFault(FaultKind::Overflow).what(), "Floating point overflow");
    EXPECT_STREQ(ConversionError("1,5x").what(), "'1,5x' is not a valid floating point value");
    const CalcError &asBase = FloatFault(FaultKind::Overflow);
    EXPECT_STREQ(asBase.what(), "Floating point overflow");
}

template <typename F>
FaultKind FaultOf(F f)
{
    try {
        f();
    } catch (const FloatFault &e) {
        return e.kind();
    }
    ADD_FAILURE() << "no fault";
    return FaultKind::InvalidOperation;
}

TEST(Faults, CheckedArithmetic)
{
    EXPECT_EQ(CheckedDivide(1, 4), 0.25L);
    EXPECT_EQ(CheckedDivide(0, -4), 0);
    EXPECT_EQ(CheckedDivide(LDBL_MIN, 4), LDBL_MIN / 4); // underflow is no fault
    EXPECT_EQ(FaultOf([] { CheckedDivide(0, 0); }), FaultKind::InvalidOperation);
    EXPECT_EQ(FaultOf([] { CheckedDivide(-0.0L, 0); }), FaultKind::InvalidOperation);
    EXPECT_EQ(FaultOf([] { CheckedDivide(1, 0); }), FaultKind::DivisionByZero);
    EXPECT_EQ(FaultOf([] { CheckedDivide(-3, -0.0L); }), FaultKind::DivisionByZero);
    EXPECT_EQ(FaultOf([] { CheckedDivide(LDBL_MAX, 0.5L); }), FaultKind::Overflow);

    EXPECT_EQ(CheckedResult(-7.5L), -7.5L);
    EXPECT_EQ(FaultOf([] { CheckedResult(NAN); }), FaultKind::InvalidOperation);
    EXPECT_EQ(FaultOf([] { CheckedResult(-INFINITY); }), FaultKind::Overflow);
}

struct ParseCase {
    const char *text;
    bool converts;
    Extended value;
};

TEST(TryParseNumber, Table)
{
    const ParseCase cases[] = {
        {"0", true, 0},
        {"12", true, 12},
        {"-12.5", true, -12.5L},
        {"+7", true, 7},
        {"5.", true, 5},
        {".5", true, 0.5L},
        {"-.5", true, -0.5L},
        {"1e5", true, 1e5L},
        {"1E+5", true, 1e5L},
        {"2.5e-3", true, 2.5e-3L},
        {"0.1", true, 0.1L}, // correctly rounded to extended, not to double
        {"0.333333333333333", true, 0.333333333333333L},
        {"1.18973149535723176502e+4932", true, LDBL_MAX},
        {"1e-4940", true, 1e-4940L}, // denormal
        {"1e-5000", true, 0},
        {"1e-99999999999999999999", true, 0},
        {"1e99999999999999999999", false, 0},
        {"00012", true, 12},
        {" \t\n 42 \r", true, 42},
        {"\x01"
         "3\x1f",
         true, 3},
        {"", false, 0},
        {"   ", false, 0},
        {".", false, 0},
        {"-", false, 0},
        {"+", false, 0},
        {"-.", false, 0},
        {"e5", false, 0},
        {".e5", false, 0},
        {"1e", false, 0},
        {"1e+", false, 0},
        {"1.2.3", false, 0},
        {"--1", false, 0},
        {"1 000", false, 0},
        {"1,000", false, 0},
        {"inf", false, 0},
        {"INF", false, 0},
        {"-Infinity", false, 0},
        {"nan", false, 0},
        {"NAN", false, 0},
        {"0x10", false, 0},
        {"0x1p3", false, 0},
        {"1e5000", false, 0},
        {"-1e5000", false, 0},
        {"12abc", false, 0},
        {"\xe9\x94\x99\xe8\xaf\xaf\xef\xbc\x81", false, 0}, // 错误！
        {"1\xc2\xa0", false, 0},                            // no-break space is not a blank
    };
    for (const auto &c : cases) {
        Extended v = 99;
        EXPECT_EQ(TryParseNumber(c.text, false, &v), c.converts) << '"' << c.text << '"';
        EXPECT_EQ(v, c.converts ? c.value : 99) << '"' << c.text << '"';
    }
}

TEST(TryParseNumber, CommasAndEmbeddedZero)
{
    Extended v = 0;
    EXPECT_TRUE(TryParseNumber("1,234,567.5", true, &v));
    EXPECT_EQ(v, 1234567.5L);
    EXPECT_TRUE(TryParseNumber(", 12 ,", true, &v)); // commas go before the trim
    EXPECT_EQ(v, 12);
    EXPECT_FALSE(TryParseNumber(",", true, &v));
    EXPECT_FALSE(TryParseNumber("1,234", false, &v));
    EXPECT_FALSE(TryParseNumber(std::string_view("1\0"
                                                 "2",
                                                 3),
                                true, &v));
    EXPECT_TRUE(TryParseNumber(std::string_view("12\0", 3), true, &v)); // NUL is a blank
    EXPECT_EQ(v, 12);
}

TEST(ParseNumberText, DisplayValueRule)
{
    EXPECT_EQ(ParseNumberText(""), 0);
    EXPECT_EQ(ParseNumberText("错误！"), 0);
    EXPECT_EQ(ParseNumberText("-"), 0);
    EXPECT_EQ(ParseNumberText("1,234.5"), 1234.5L);
    EXPECT_EQ(ParseNumberText("  -7 "), -7);
    EXPECT_EQ(ParseNumberText("1,234.5", false), 0);
    EXPECT_EQ(ParseNumberText("1.25E+001"), 12.5L);
    EXPECT_EQ(ParseNumberText("1e99999"), 0);
    // Every text GeneralNumberText writes reads back to the same text.
    for (Extended v : {1.0L / 3, -2.5L, 1e-5L, 123456789012345678.0L, 1e300L, -LDBL_MAX})
        EXPECT_EQ(GeneralNumberText(ParseNumberText(GeneralNumberText(v))), GeneralNumberText(v));
}

// A Qt application adopts the user's locale at start-up; a decimal comma
// there must not leak into the texts or the parsing.
TEST(NumberText, IndependentOfProcessLocale)
{
    const std::string saved = std::setlocale(LC_ALL, nullptr);
    const char *comma = nullptr;
    for (const char *name : {"de_DE.UTF-8", "fr_FR.UTF-8", "ru_RU.UTF-8", "de_DE.utf8"})
        if (std::setlocale(LC_ALL, name)) {
            comma = name;
            break;
        }
    if (!comma)
        GTEST_SKIP() << "no locale with a decimal comma installed";
    Extended v = 0;
    const bool point = TryParseNumber("12.5", false, &v);
    const bool commaText = TryParseNumber("12,5", false, nullptr);
    const std::string general = GeneralNumberText(1.0L / 3);
    const std::string exponent = ExponentNumberText(-12.5L, 3);
    std::setlocale(LC_ALL, saved.c_str());
    EXPECT_TRUE(point) << comma;
    EXPECT_EQ(v, 12.5L);
    EXPECT_FALSE(commaText);
    EXPECT_EQ(general, "0.333333333333333");
    EXPECT_EQ(exponent, "-1.25E+001");
}

TEST(StrToFloat, ConvertsOrThrows)
{
    EXPECT_EQ(StrToFloat(" 12.5 "), 12.5L);
    EXPECT_EQ(StrToFloat("-3e2"), -300);
    for (const char *bad : {"1,234", "", "abc", "1e5000", "nan"}) {
        try {
            StrToFloat(bad);
            ADD_FAILURE() << bad;
        } catch (const ConversionError &e) {
            EXPECT_EQ(std::string(e.what()), "'" + std::string(bad) + "' is not a valid floating point value");
        }
    }
}

TEST(CharCount, CodePoints)
{
    EXPECT_EQ(CharCount(""), 0u);
    EXPECT_EQ(CharCount("1.25E+001"), 9u);
    EXPECT_EQ(CharCount("错误！"), 3u);
    EXPECT_EQ(CharCount("1拾5"), 3u);
    EXPECT_EQ(CharCount("\xf0\x9f\x98\x80x"), 2u); // a four-byte character
}

} // namespace

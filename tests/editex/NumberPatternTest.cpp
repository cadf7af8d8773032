// SPDX-License-Identifier: GPL-3.0-or-later
#include "editex/NumberPattern.h"

#include <gtest/gtest.h>

using namespace tallyvox;

namespace {

struct PatternCase {
    const char *pattern;
    Extended value;
    const char *text;
};

TEST(FormatNumberPattern, Table)
{
    const PatternCase cases[] = {
        {"0.00", 0, "0.00"},
        {"0.00", 5, "5.00"},
        {"0.00", 0.5L, "0.50"},
        {"0.00", -1.234L, "-1.23"},
        {"0.00", 9.999L, "10.00"},
        {"0.00", 99.995L, "100.00"},
        // Halfway cases round away from zero on the decimal digits, also
        // where the binary value lies just below the half.
        {"0.00", 0.125L, "0.13"},
        {"0.00", -0.125L, "-0.13"},
        {"0.00", 1.005L, "1.01"},
        {"0.00", 2.675L, "2.68"},
        {"0", 0.5L, "1"},
        {"0", 2.5L, "3"},
        {"0", -0.5L, "-1"},
        {"0", 0.49L, "0"},
        // No minus in front of a zero that is shown.
        {"0.00", -0.001L, "0.00"},
        {"0", -0.0L, "0"},
        {"0.00", 1e-30L, "0.00"},
        {"0", 1234567, "1234567"},
        {"#,0", 1234567, "1,234,567"},
        {"#,0", 123, "123"},
        {"#,0", 1000, "1,000"},
        {"#,0", 999.5L, "1,000"},
        {"#,0", 0, "0"},
        {"#,0", -1234, "-1,234"},
        {"#,0.000", 1234.5L, "1,234.500"},
        {"#,0.00", 123456789012.345L, "123,456,789,012.35"},
        {"0", 123456789012345678.0L, "123456789012345678"},
        // Optional digits.
        {"0.##", 1, "1"},
        {"0.0#", 1.2L, "1.2"},
        {"0.0#", 1.25L, "1.25"},
        {"0.0#", 1.256L, "1.26"},
        {"#.##", 0.5L, ".5"},
        {"#", 0, ""},
        {"00", 5, "05"},
        {"000.0", 1.25L, "001.3"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(FormatNumberPattern(c.pattern, c.value), c.text) << c.pattern << " " << static_cast<double>(c.value);
}

TEST(FormatNumberPattern, HugeValuesFallBackToGeneralForm)
{
    EXPECT_EQ(FormatNumberPattern("0.00", 1e18L), GeneralNumberText(1e18L));
    EXPECT_NE(FormatNumberPattern("#,0", -2.5e30L).find('E'), std::string::npos);
}

struct SettingsCase {
    int integerLength;
    bool showThousands;
    int decimalPlaces;
    const char *formatStr;
    int maxLength;
};

TEST(NumberFieldSettings, FormatStrAndMaxLength)
{
    const SettingsCase cases[] = {
        {8, false, 2, "0.00", 11},  {8, false, 0, "0", 8},       {12, false, 0, "0", 12}, {12, true, 0, "#,0", 15},
        {8, true, 2, "#,0.00", 13}, {8, true, 3, "#,0.000", 14}, {7, true, 0, "#,0", 9},  {1, true, 0, "#,0", 1},
        {3, true, 0, "#,0", 3},     {4, true, 1, "#,0.0", 7},    {0, true, 0, "#,0", 0},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(MakeFormatStr(c.showThousands, c.decimalPlaces), c.formatStr);
        EXPECT_EQ(MakeMaxLength(c.integerLength, c.showThousands, c.decimalPlaces), c.maxLength)
            << c.integerLength << " " << c.showThousands << " " << c.decimalPlaces;
    }
}

} // namespace

// Integers and volumes in list fields, read as wcstol (base 10) and wcstod
// read them.
#include <multitrack/NumberFields.h>

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

namespace {

TEST(ParseIntegerFieldTest, LikeWcstolInBaseTen)
{
    const std::pair<std::u16string, std::int32_t> cases[] = {
        {u"42", 42},
        {u"007", 7},
        {u"  \t\v\f\r\n-7x", -7},
        {u"+5", 5},
        {u"3.9", 3},
        {u"12abc", 12},
        {u"", 0},
        {u"abc", 0},
        {u"-", 0},
        {u"- 5", 0},
        {u"--5", 0},
        {u"+-5", 0},
        {u"0x10", 0},
        {u"\u00A05", 0}, // only ASCII white space is skipped
        {u"\uFF11", 0},  // a full-width digit is no digit
        {u"2147483647", 2147483647},
        {u"2147483648", 2147483647},
        {u"99999999999999999999999", 2147483647},
        {u"-2147483648", std::numeric_limits<std::int32_t>::min()},
        {u"-2147483649", std::numeric_limits<std::int32_t>::min()},
        {u"-99999999999999999999999", std::numeric_limits<std::int32_t>::min()},
    };
    for (const auto& [field, value] : cases)
        EXPECT_EQ(ParseIntegerField(field), value) << std::string(field.begin(), field.end());
}

TEST(ParseFloatFieldTest, DecimalAndHexadecimalNumbers)
{
    const std::pair<std::u16string, float> cases[] = {
        {u"0.5", 0.5f},
        {u" \t-1.25e1", -12.5f},
        {u"+2", 2.0f},
        {u".5", 0.5f},
        {u"5.", 5.0f},
        {u"1e", 1.0f},
        {u"1e+", 1.0f},
        {u"2E-1x", 0.2f},
        {u"0.7dB", 0.7f},
        {u"", 0.0f},
        {u"abc", 0.0f},
        {u".", 0.0f},
        {u"--5", 0.0f},
        {u"-+5", 0.0f},
        {u"0x1.8p1", 3.0f},
        {u"0X10", 16.0f},
        {u"-0x.8", -0.5f},
        {u"0x", 0.0f},
        {u"0xg", 0.0f},
        {u"0x-1", 0.0f},
        {u"1\uFF10", 1.0f}, // a full-width digit ends the number
        {u"3.4028235e38", std::numeric_limits<float>::max()},
        {u"1e-50", 0.0f},
        {u"1e-400", 0.0f},
    };
    for (const auto& [field, value] : cases)
        EXPECT_EQ(ParseFloatField(field), value) << std::string(field.begin(), field.end());
}

TEST(ParseFloatFieldTest, ReadAsDoubleThenNarrowed)
{
    // 1 + 2^-24 + 10^-31: as a double it is 1 + 2^-24, exactly halfway
    // between two floats, and narrowing rounds to even (1.0); read straight
    // into a float it would round up.
    EXPECT_EQ(ParseFloatField(u"1.0000000596046447753906250000001"), 1.0f);
    // Just above FLT_MAX still rounds to it; half an ulp above overflows.
    EXPECT_EQ(ParseFloatField(u"3.40282356e38"), std::numeric_limits<float>::max());
    EXPECT_EQ(ParseFloatField(u"3.4028236e38"), std::numeric_limits<float>::infinity());
    EXPECT_EQ(ParseFloatField(u"-1e300"), -std::numeric_limits<float>::infinity());
}

TEST(ParseFloatFieldTest, OutOfRangeInfinityAndNan)
{
    const float infinity = std::numeric_limits<float>::infinity();
    EXPECT_EQ(ParseFloatField(u"1e400"), infinity);
    EXPECT_EQ(ParseFloatField(u"-1e400"), -infinity);
    EXPECT_EQ(ParseFloatField(u"0x1p99999"), infinity);
    EXPECT_EQ(ParseFloatField(u"0x1p-99999"), 0.0f);
    EXPECT_EQ(ParseFloatField(u"1" + std::u16string(400, u'0')), infinity);
    EXPECT_EQ(ParseFloatField(u"0." + std::u16string(400, u'0') + u"1"), 0.0f);
    EXPECT_EQ(ParseFloatField(u"0.00001e99999999999999999999"), infinity);
    EXPECT_TRUE(std::signbit(ParseFloatField(u"-1e-400")));
    EXPECT_EQ(ParseFloatField(u"inf"), infinity);
    EXPECT_EQ(ParseFloatField(u"-INFINITY"), -infinity);
    EXPECT_EQ(ParseFloatField(u"Infinit"), infinity); // "inf", then stops
    EXPECT_TRUE(std::isnan(ParseFloatField(u"nan")));
    EXPECT_TRUE(std::isnan(ParseFloatField(u"NaN(123)")));
}

} // namespace

#include "base/FormatSettings.h"

#include <gtest/gtest.h>

using namespace tabellix;

TEST(FormatSettings, GeneralFloatFormatFollowsTheCellTextRule) {
    TFormatSettings us("en_US");
    struct Case {
        double value;
        const char* expected;
    } cases[] = {
        {3, "3"},
        {2.5, "2.5"},
        {0.1 + 0.2, "0.3"},
        {123456789012345.0, "123456789012345"},
        {1e15, "1E15"},
        {1e16, "1E16"},
        {1e20, "1E20"},
        {0.00005, "5E-5"},
        {0.0001, "0.0001"},
        {1.5e-7, "1.5E-7"},
        {9e-5, "9E-5"},
        {-2.5, "-2.5"},
        {-0.25, "-0.25"},
        {-0.0, "0"},
        {3.14159265358979, "3.14159265358979"},
        {-3.14e+300, "-3.14E300"},
        {1.0 / 3.0, "0.333333333333333"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.expected);
        EXPECT_EQ(us.FloatToStr(c.value), c.expected);
    }
}

TEST(FormatSettings, DecimalSeparatorComesFromTheLocale) {
    EXPECT_EQ(TFormatSettings("en_US").FloatToStr(2.5), "2.5");
    EXPECT_EQ(TFormatSettings("de_DE").FloatToStr(2.5), "2,5");
    EXPECT_EQ(TFormatSettings("de_DE").FloatToStr(1.5e-7), "1,5E-7");
    EXPECT_EQ(TFormatSettings("de_DE").DecimalSeparator(), ",");
}

TEST(FormatSettings, CurrencyIsAPlainDecimalNumber) {
    TFormatSettings us("en_US");
    EXPECT_EQ(us.CurrToStr(12345000), "1234.5");
    EXPECT_EQ(us.CurrToStr(30000), "3");
    EXPECT_EQ(us.CurrToStr(-15), "-0.0015");
    EXPECT_EQ(TFormatSettings("de_DE").CurrToStr(12345000), "1234,5");
}

TEST(FormatSettings, DatesGiveTheShortDateAndATimeUnlessMidnight) {
    TFormatSettings us("en_US");
    // 45292 is 2024-01-01.
    EXPECT_EQ(us.DateTimeToStr(45292), "1/1/2024");
    EXPECT_EQ(us.DateTimeToStr(45292.75), "1/1/2024 6:00:00 PM");
    EXPECT_EQ(us.DateTimeToStr(0.5), "12:00:00 PM");
    EXPECT_EQ(us.DateTimeToStr(2), "1/1/1900");
    TFormatSettings de("de_DE");
    EXPECT_EQ(de.DateTimeToStr(45292.75), "01.01.2024 18:00:00");
}

// Numeric short dates are made without the locale formatter; they must read
// as the formatter writes them, across locales and the calendar's range.
TEST(FormatSettings, DatesReadTheSameInEveryLocale) {
    struct Case {
        const char* locale;
        double serial;
        const char* text;
    } cases[] = {
        {"en_US", 60, "2/28/1900"},
        {"en_US", 61, "3/1/1900"},
        {"en_US", 2958465, "12/31/9999"},
        {"en_GB", 45351, "29/02/2024"},
        {"de_DE", 36526, "01.01.2000"},
        {"ja_JP", 45352, "2024/03/01"},
        {"nl_NL", 45352, "01-03-2024"},
        // Arabic digits and right-to-left marks: the formatter writes these.
        {"ar_EG", 45352,
         "\xD9\xA1\xE2\x80\x8F/\xD9\xA3\xE2\x80\x8F/\xD9\xA2\xD9\xA0\xD9\xA2\xD9\xA4"},
        {"en_US", -1, "12/29/1899"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.locale) + " " + std::to_string(c.serial));
        EXPECT_EQ(TFormatSettings(c.locale).DateTimeToStr(c.serial), c.text);
    }
}

// Number format classification and the date serials of both file formats.
#include "automation/NumberFormat.h"
#include "automation/SerialDate.h"

#include <gtest/gtest.h>

namespace tabellix {
namespace {

TEST(FormatClass, CustomCodesAreClassifiedByTheirTokensOutsideQuotesAndEscapes) {
    struct Case {
        const char* code;
        TNumberClass expected;
    };
    const Case cases[] = {
        {"General", TNumberClass::Number},
        {"0.00", TNumberClass::Number},
        {"#,##0.00_);[Red](#,##0.00)", TNumberClass::Number},
        {"0.00E+00", TNumberClass::Number},
        {"@", TNumberClass::Number},
        {"yyyy-mm-dd", TNumberClass::Date},
        {"dd/mm/yyyy hh:mm", TNumberClass::Date},
        {"h:mm AM/PM", TNumberClass::Date},
        {"[h]:mm:ss", TNumberClass::Date},
        {"[mm]:ss", TNumberClass::Date},
        {"[$-409]mmmm d, yyyy", TNumberClass::Date},
        {"\"day\" 0", TNumberClass::Number},
        {"\\d\\a\\y 0", TNumberClass::Number},
        {"[Red][<100]0;[Blue]0", TNumberClass::Number},
        {"[DBNum1][$-804]General", TNumberClass::Number},
        {"_-* #,##0_-", TNumberClass::Number},
        {"$#,##0.00", TNumberClass::Currency},
        {"[$\xE2\x82\xAC-2] #,##0.00", TNumberClass::Currency},
        {"[$\xC2\xA5-411]#,##0.00", TNumberClass::Currency},
        {"#,##0_-[$\xE2\x82\xAC]", TNumberClass::Currency},
        {"\"\xC2\xA3\"#,##0.00", TNumberClass::Currency},
        {"#,##0.00 \"kr\"", TNumberClass::Currency},
        {"#,##0.00 \"pcs\"", TNumberClass::Number},
        {"[$$-409]yyyy-mm-dd", TNumberClass::Date},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.code);
        EXPECT_EQ(ClassifyFormatCode(c.code), c.expected);
    }
}

TEST(FormatClass, BuiltinFormatsCoverDatesTimesAndCurrency) {
    for (int id : {14, 15, 16, 17, 18, 19, 20, 21, 22, 45, 46, 47})
        EXPECT_EQ(ClassifyBuiltinFormat(id), TNumberClass::Date) << id;
    for (int id : {5, 6, 7, 8, 42, 44})
        EXPECT_EQ(ClassifyBuiltinFormat(id), TNumberClass::Currency) << id;
    for (int id : {0, 1, 2, 3, 4, 9, 10, 11, 12, 13, 37, 38, 41, 43, 48, 49})
        EXPECT_EQ(ClassifyBuiltinFormat(id), TNumberClass::Number) << id;
}

TEST(FormatClass, WorkbookCodesOverrideTheBuiltinClass) {
    TFormatTable table;
    table.Define(14, "0.00");
    table.Define(164, "yyyy");
    EXPECT_EQ(table.Classify(14), TNumberClass::Number);
    EXPECT_EQ(table.Classify(164), TNumberClass::Date);
    EXPECT_EQ(table.Classify(22), TNumberClass::Date);
    EXPECT_EQ(table.Classify(165), TNumberClass::Number);
}

TEST(SerialDate, KeepsTheLeapYearQuirkOfThe1900SystemAndShiftsThe1904One) {
    EXPECT_DOUBLE_EQ(AutomationDate(0.25, false), 0.25); // a pure time
    EXPECT_DOUBLE_EQ(AutomationDate(1, false), 2);       // 1900-01-01
    EXPECT_DOUBLE_EQ(AutomationDate(59.5, false), 60.5); // 1900-02-28 noon
    EXPECT_DOUBLE_EQ(AutomationDate(61, false), 61);     // 1900-03-01
    EXPECT_DOUBLE_EQ(AutomationDate(45352, false), 45352);
    EXPECT_DOUBLE_EQ(AutomationDate(0, true), 1462); // 1904-01-01
    EXPECT_DOUBLE_EQ(AutomationDate(43890.5, true), 45352.5);
}

TEST(SerialDate, ReadsIsoDatesTimesAndRefusesOtherText) {
    EXPECT_DOUBLE_EQ(*AutomationDateFromIso("2024-03-01"), 45352);
    EXPECT_DOUBLE_EQ(*AutomationDateFromIso("2024-03-01T06:00:00Z"), 45352.25);
    EXPECT_DOUBLE_EQ(*AutomationDateFromIso("1899-12-30T00:00:00"), 0);
    EXPECT_DOUBLE_EQ(*AutomationDateFromIso("12:00:00"), 0.5);
    EXPECT_NEAR(*AutomationDateFromIso("00:00:01.5"), 1.5 / 86400, 1e-12);
    EXPECT_DOUBLE_EQ(*AutomationDateFromIso("1899-12-29T06:00:00"), -1.25);
    for (const char* bad : {"", "2024", "2024-13-01", "2024-03-01x", "25:00:00", "yesterday"})
        EXPECT_FALSE(AutomationDateFromIso(bad)) << bad;
}

} // namespace
} // namespace tabellix

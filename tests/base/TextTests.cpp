#include "base/Exception.h"
#include "base/Text.h"
#include "tests/support/ExpectError.h"

#include <gtest/gtest.h>

using namespace tabellix;

TEST(Text, IntegerParsingAcceptsTheSystemsForms) {
    struct Case {
        const char* text;
        int32_t expected;
    } accepted[] = {
        {"3306", 3306},
        {"  42", 42},
        {"+7", 7},
        {"-2147483648", INT32_MIN},
        {"2147483647", INT32_MAX},
        {"$1F", 31},
        {"x10", 16},
        {"0x10", 16},
        {"-$10", -16},
        {"007", 7},
    };
    for (const auto& c : accepted) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(StrToInt(c.text), c.expected);
    }
    for (const char* bad :
         {"", " ", "33o6", "2147483648", "-2147483649", "12 ", "1.5", "$", "0x", "+-1", "$G"}) {
        SCOPED_TRACE(bad);
        EXPECT_FALSE(TryStrToInt(bad).has_value());
    }
    EXPECT_EQ(StrToInt64("-9223372036854775808"), INT64_MIN);
}

TEST(Text, IntegerFailureNamesTheText) {
    auto e = test::ExpectError<EConvertError>([] { StrToInt("33o6"); });
    ASSERT_TRUE(e);
    EXPECT_STREQ(e->what(), "''33o6'' is not a valid integer value");
}

TEST(Text, CaseMappingIsFullUnicode) {
    EXPECT_EQ(UnicodeLower("\u212A"), "k"); // Kelvin sign
    EXPECT_EQ(UnicodeLower("STRASSE \u00C9"), "strasse \u00E9");
    EXPECT_EQ(UnicodeUpper("stra\u00DFe"), "STRASSE");
    EXPECT_EQ(AsciiLower("\u00C9A"), "\u00C9a");
    EXPECT_TRUE(SameText("MySQL", "mysql"));
    EXPECT_FALSE(SameText("\u00C9", "\u00E9"));
}

TEST(Text, AnsiConversionUsesTheCodePageAndSubstitutes) {
    AnsiCodePage cp1252("windows-1252");
    EXPECT_EQ(cp1252.FromUtf8("caf\u00E9 \u20AC"), "caf\xE9 \x80");
    EXPECT_EQ(cp1252.FromUtf8("\u4E2D"), "?");
    EXPECT_EQ(cp1252.ToUtf8("caf\xE9"), "caf\u00E9");
    AnsiCodePage utf8("UTF-8");
    EXPECT_EQ(utf8.FromUtf8("\u4E2D"), "\u4E2D");
    EXPECT_THROW(AnsiCodePage("no-such-page"), EArgumentException);
}

TEST(Text, EscapeControlsWritesControlCharactersAsTheirCodes) {
    const struct {
        const char* name;
        std::string text;
        std::string shown;
    } cases[] = {
        {"plain text and line breaks stay", "a\tb\r\nc \xc3\xa9 \xe2\x82\xac",
         "a\tb\r\nc \xc3\xa9 \xe2\x82\xac"},
        {"escape, bell, NUL and DEL", std::string("\x1b[2J\x07\0\x7f", 7),
         "\\x1b[2J\\x07\\x00\\x7f"},
        {"C1 control in UTF-8",
         "\xc2\x9b"
         "31m",
         "\\xc2\\x9b"
         "31m"},
        {"a letter after C2 stays", "\xc2\xa0", "\xc2\xa0"},
        {"a lone C2 at the end stays", "x\xc2", "x\xc2"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(EscapeControls(c.text), c.shown);
    }
}

TEST(Text, TrimRemovesControlCharactersAndSpaces) {
    EXPECT_EQ(Trim("\t  a b \r\n"), "a b");
    EXPECT_EQ(TrimRight("  a  "), "  a");
}

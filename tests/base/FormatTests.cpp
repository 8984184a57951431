#include "base/Exception.h"
#include "base/Format.h"

#include <gtest/gtest.h>

using namespace tabellix;

TEST(Format, FillsEveryPlaceholderForm) {
    struct Case {
        const char* name;
        std::string got;
        const char* expected;
    } cases[] = {
        {"string", Format("Cannot create file \"%s\". %s", {"/x/y", "No such file"}),
         "Cannot create file \"/x/y\". No such file"},
        {"decimal", Format("%d rows", {-42}), "-42 rows"},
        {"hex upper", Format("$%.4X", {12}), "$000C"},
        {"hex of negative", Format("%x", {-1}), "FFFFFFFF"},
        {"precision cuts text", Format("%-.3s|", {"abcdef"}), "abc|"},
        {"precision keeps characters whole", Format("%.2s", {"\xC3\xA9\xC3\xA9\xC3\xA9"}),
         "\xC3\xA9\xC3\xA9"},
        {"index", Format("%1:s %0:s %s", {"a", "b"}), "b a b"},
        {"width", Format("[%5d][%-5s]", {42, "ab"}), "[   42][ab   ]"},
        {"percent", Format("100%%", {}), "100%"},
        {"unsigned", Format("%u", {4294967295u}), "4294967295"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.got, c.expected);
    }
}

TEST(Format, RejectsMissingOrMismatchedArguments) {
    EXPECT_THROW(Format("%s %s", {"one"}), EConvertError);
    EXPECT_THROW(Format("%d", {"text"}), EConvertError);
    EXPECT_THROW(Format("%s", {3}), EConvertError);
    EXPECT_THROW(Format("trailing %", {}), EConvertError);
}

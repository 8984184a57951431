#include "base/Exception.h"
#include "base/Variant.h"
#include "tests/support/ExpectError.h"

#include <gtest/gtest.h>

using namespace tabellix;

TEST(Variant, NullAndEmptyAreDistinct) {
    EXPECT_TRUE(Variant().IsEmpty());
    EXPECT_TRUE(Variant::Null().IsNull());
    EXPECT_NE(Variant(), Variant::Null());
    EXPECT_EQ(Variant().AsString(), "");
}

TEST(Variant, ConvertsToTextByKind) {
    TFormatSettings us("en_US");
    EXPECT_EQ(Variant(true).AsString(us), "True");
    EXPECT_EQ(Variant(false).AsString(us), "False");
    EXPECT_EQ(Variant(int32_t{-5}).AsString(us), "-5");
    EXPECT_EQ(Variant(int64_t{123456789012345}).AsString(us), "123456789012345");
    EXPECT_EQ(Variant(2.5).AsString(us), "2.5");
    EXPECT_EQ(Variant(VarCurrency{25000}).AsString(us), "2.5");
    EXPECT_EQ(Variant(VarDate{45292}).AsString(us), "1/1/2024");
    EXPECT_EQ(Variant("text").AsString(us), "text");
}

TEST(Variant, ErrorValueCannotBecomeText) {
    auto e = test::ExpectError<EConvertError>([] { Variant(VarError{"#DIV/0!"}).AsString(); });
    ASSERT_TRUE(e);
    EXPECT_STREQ(e->what(), "Could not convert variant of type (Error) into type (OleStr)");
    EXPECT_THROW(Variant::Null().AsString(), EConvertError);
}

TEST(Variant, ConvertsBetweenNumbersBooleansAndText) {
    EXPECT_TRUE(Variant("TRUE").AsBoolean());
    EXPECT_FALSE(Variant("false").AsBoolean());
    EXPECT_TRUE(Variant(int32_t{2}).AsBoolean());
    EXPECT_EQ(Variant("3306").AsInteger(), 3306);
    EXPECT_EQ(Variant(int64_t{1} << 40).AsInt64(), int64_t{1} << 40);
    EXPECT_THROW(Variant(int64_t{1} << 40).AsInteger(), EConvertError);
    EXPECT_THROW(Variant("abc").AsInteger(), EConvertError);
    EXPECT_THROW(Variant("maybe").AsBoolean(), EConvertError);
    EXPECT_DOUBLE_EQ(Variant("2.5").AsDouble(), 2.5);
    EXPECT_EQ(Variant("ab").AsBytes(), (std::vector<uint8_t>{'a', 'b'}));
}

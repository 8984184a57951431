// Both readers against small fixtures, one feature each; the logical sheet
// "Kinds" is held to one expected grid in both formats.
#include "automation/WorkbookReader.h"
#include "tests/support/TestEnv.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace tabellix {
namespace {

std::unique_ptr<TWorkbook> Load(const char* name) {
    return LoadWorkbook((test::FixturesDir() / "workbooks" / name).string());
}

std::vector<std::string> SheetNames(const TWorkbook& book) {
    std::vector<std::string> names;
    for (int i = 0; i < book.SheetCount(); ++i)
        names.push_back(book.Sheet(i).Name());
    return names;
}

using TGrid = std::vector<std::vector<Variant>>;

// The first differing cell, or "" when the sheet matches the grid.
std::string FirstDifference(const TSheet& sheet, const TGrid& expected) {
    if (sheet.LastRow() != static_cast<int>(expected.size()) ||
        sheet.LastColumn() != static_cast<int>(expected[0].size()))
        return "used range " + std::to_string(sheet.LastRow()) + "x" +
               std::to_string(sheet.LastColumn());
    for (size_t r = 0; r < expected.size(); ++r)
        for (size_t c = 0; c < expected[r].size(); ++c) {
            const Variant got = sheet.Value(static_cast<int>(r + 1), static_cast<int>(c + 1));
            if (!(got == expected[r][c]))
                return "row " + std::to_string(r + 1) + " column " + std::to_string(c + 1) +
                       ": got " + got.AsString() + " of type " + Variant::TypeName(got.Type());
        }
    return "";
}

Variant Money(double amount) {
    return Variant(VarCurrency{std::llround(amount * 10000)});
}
Variant Date(double serial) {
    return Variant(VarDate{serial});
}
Variant Error(const char* code) {
    return Variant(VarError{code});
}

const TGrid kKinds = {
    {Variant("Name"), Variant(42.0), Variant(2.5)},
    {Date(45352), Date(0.75), Date(45352.5)},
    {Money(12.5), Money(1234.5), Money(3)},
    {Variant(true), Error("#DIV/0!"), Variant("calc")},
    {Variant(7.0), Variant(8.0), Date(2.5)}, // quoted and escaped letters; elapsed hours
    {Date(31), Variant("Hello World"), Variant(0.1)},
    {Money(99.5), Variant(false), Error("#N/A")},
};

class KindsSheet : public testing::TestWithParam<const char*> {};

TEST_P(KindsSheet, HoldsEveryValueKindAsTheApplicationClassifiesIt) {
    const auto book = Load(GetParam());
    ASSERT_EQ(book->SheetCount(), 1);
    EXPECT_EQ(book->Sheet(0).Name(), "Kinds");
    EXPECT_EQ(FirstDifference(book->Sheet(0), kKinds), "");
}

INSTANTIATE_TEST_SUITE_P(BothFormats, KindsSheet, testing::Values("kinds.xlsx", "kinds.xls"),
                         [](const auto& instance) {
                             return std::string(instance.param).substr(6) == "xls" ? "Xls" : "Xlsx";
                         });

TEST(Reader, ListsWorksheetsOnlyInWorkbookOrderHiddenOnesIncluded) {
    EXPECT_EQ(SheetNames(*Load("sheet-order.xlsx")),
              (std::vector<std::string>{"Zeta", "Alpha \xC3\x89t\xC3\xA9", "Secret"}));
    const auto xlsx = Load("sheet-order.xlsx");
    EXPECT_EQ(xlsx->Sheet(0).Value(1, 1), Variant("first"));
    EXPECT_EQ(xlsx->Sheet(2).Value(1, 1), Variant("hidden"));
    EXPECT_EQ(SheetNames(*Load("sheet-order.xls")),
              (std::vector<std::string>{"Zeta", "Alpha", "Secret"}));
}

TEST(Reader, BinaryTextsJoinContinuedSharedStringsAndKeepUnicode) {
    const auto book = Load("sheet-order.xls");
    const TSheet& alpha = book->Sheet(1);
    EXPECT_EQ(alpha.Value(1, 1), Variant("\xC3\x89t\xC3\xA9 \xE6\x9D\xB1\xE4\xBA\xAC"));
    // 9000 characters, split over a CONTINUE record that switches from
    // UTF-16 to the compressed form.
    std::string expected;
    for (int i = 0; i < 9000; ++i)
        expected += static_cast<char>('a' + i % 26);
    EXPECT_EQ(alpha.Value(2, 1), Variant(expected));
    EXPECT_EQ(alpha.Value(3, 1), Variant(""));
    EXPECT_EQ(alpha.Kind(3, 1), TCellKind::Text);
}

TEST(Reader, PackageTextsSkipPhoneticRunsAndResolveEscapes) {
    const auto book = Load("text-features.xlsx");
    const TSheet& sheet = book->Sheet(0);
    EXPECT_EQ(sheet.Value(1, 1), Variant("\xE6\x9D\xB1\xE4\xBA\xAC"));
    EXPECT_EQ(sheet.Value(2, 1), Variant("line\rbreak_x0041_"));
    EXPECT_EQ(sheet.Value(3, 1), Variant("inline"));
    EXPECT_EQ(sheet.Value(4, 1), Date(45352.25));
    EXPECT_EQ(sheet.Value(5, 1), Date(0.5208333333333334));
    EXPECT_EQ(sheet.Value(6, 1), Variant(""));
}

TEST(Reader, The1904DateSystemGivesTheSameDatesInBothFormats) {
    for (const char* name : {"date1904.xlsx", "date1904.xls"}) {
        SCOPED_TRACE(name);
        const auto book = Load(name);
        const TSheet& sheet = book->Sheet(0);
        EXPECT_EQ(sheet.Value(1, 1), Date(1462));
        EXPECT_EQ(sheet.Value(2, 1), Date(45352.5));
    }
}

TEST(Reader, Biff5TextsFollowTheWorkbookCodePage) {
    const auto book = Load("biff5.xls");
    ASSERT_EQ(SheetNames(*book), std::vector<std::string>{"Gr\xC3\xBC\xC3\x9F"
                                                          "e"});
    const TSheet& sheet = book->Sheet(0);
    EXPECT_EQ(sheet.Value(1, 1), Variant("caf\xC3\xA9 \xE2\x82\xAC"));
    EXPECT_EQ(sheet.Value(2, 1), Date(45352));
    EXPECT_EQ(sheet.Value(2, 2), Variant(3.25));
}

TEST(Reader, CellsWithoutReferencesFollowTheirNeighbours) {
    const auto book = Load("no-references.xlsx");
    const TSheet& sheet = book->Sheet(0);
    EXPECT_EQ(sheet.Value(1, 1), Variant(1.0));
    EXPECT_EQ(sheet.Value(1, 2), Variant(2.0));
    EXPECT_EQ(sheet.Value(2, 1), Variant("x"));
    EXPECT_EQ(sheet.LastRow(), 2);
    EXPECT_EQ(sheet.LastColumn(), 2);
}

} // namespace
} // namespace tabellix

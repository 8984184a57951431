// Column types proposed from every cell of a column: the rules with their
// boundaries, and the pass over a sheet that fills the grid.
#include "engine/type_proposal.h"
#include "tests/engine/PassFixture.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace tabellix;
using namespace tabellix::test;

namespace tabellix {
void PrintTo(const TProposedType& type, std::ostream* out) {
    *out << type.Type << "|" << type.Length;
}
} // namespace tabellix

namespace {

// 2026-12-10 as a serial day.
constexpr double kDay = 46366;

TProposedType Proposed(const std::vector<Variant>& cells, const std::string& charset = "utf8",
                       const myfuns& funs = myfuns(TFormatSettings("en_US"))) {
    TColumnTally tally;
    for (const Variant& cell : cells)
        tally.Add(cell, funs);
    return tally.Propose(charset);
}

std::string Repeat(const std::string& piece, size_t times) {
    std::string out;
    for (size_t i = 0; i < times; ++i)
        out += piece;
    return out;
}

struct TRuleCase {
    const char* name;
    std::vector<Variant> cells;
    TProposedType expected;
};

void ExpectRules(const std::vector<TRuleCase>& cases) {
    for (const TRuleCase& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Proposed(c.cells), c.expected);
    }
}

} // namespace

TEST(TypeProposal, WholeNumbersTakeTheNarrowestIntegerThatHoldsThemAll) {
    ExpectRules({
        {"int upper bound", {1.0, 2147483647.0}, {"INT", "11"}},
        {"one past it", {1.0, 2147483648.0}, {"BIGINT", "20"}},
        {"int lower bound", {-2147483648.0}, {"INT", "11"}},
        {"one below it", {-2147483649.0}, {"BIGINT", "20"}},
        {"integer kinds", {int32_t{7}, int64_t{-9000000000}}, {"BIGINT", "20"}},
        {"15 digits", {999999999999999.0}, {"BIGINT", "20"}},
        // Shown as 1E15 by the cell text rule, still within 64 bits.
        {"16 digits", {1e15}, {"BIGINT", "20"}},
        // 2^63 is one past the largest BIGINT.
        {"past 64 bits", {9223372036854775808.0}, {"DECIMAL(19,0)", ""}},
        {"far past", {-1e20, 5.0}, {"DECIMAL(21,0)", ""}},
        {"past any decimal", {1e70}, {"DOUBLE", ""}},
    });
}

TEST(TypeProposal, FractionsTakeTheDigitsTheirCellTextsShow) {
    ExpectRules({
        {"mixed with whole numbers", {1.0, 2.5, -30.25}, {"DECIMAL(4,2)", ""}},
        {"below one", {0.5, -0.125}, {"DECIMAL(3,3)", ""}},
        {"15 significant digits", {12345678901234.5}, {"DECIMAL(15,1)", ""}},
        // Rounded to 15 digits the text shows no fraction.
        {"16 significant digits", {123456789012345.6}, {"DECIMAL(15,0)", ""}},
        {"smallest fixed form", {0.0001}, {"DECIMAL(4,4)", ""}},
        {"exponent form", {2.5, 1.5e-5}, {"DOUBLE", ""}},
        {"large exponent with a fraction", {0.5, 1e15}, {"DOUBLE", ""}},
        {"currency", {VarCurrency{123400}, VarCurrency{-50000}}, {"DECIMAL(4,2)", ""}},
        {"whole currency", {VarCurrency{120000}}, {"DECIMAL(2,0)", ""}},
        {"currency with numbers", {VarCurrency{15}, 1234.0}, {"DECIMAL(8,4)", ""}},
    });
}

TEST(TypeProposal, BooleansDatesAndTimesKeepTheirKind) {
    ExpectRules({
        {"booleans", {true, false}, {"TINYINT(1)", ""}},
        {"midnight", {VarDate{kDay}, VarDate{kDay + 1}}, {"DATE", ""}},
        {"one second past", {VarDate{kDay}, VarDate{kDay + 1.0 / 86400}}, {"DATETIME", ""}},
        // Rounded to the millisecond, as the values are written.
        {"a hair before midnight", {VarDate{kDay + 1 - 1e-10}}, {"DATE", ""}},
        {"a fraction of a second", {VarDate{kDay + 1.5 / 86400}}, {"DATETIME(3)", ""}},
        {"times", {VarDate{0.25}, VarDate{0}}, {"TIME", ""}},
        {"time with milliseconds", {VarDate{0.5 / 86400}}, {"TIME(3)", ""}},
    });
}

TEST(TypeProposal, AMixOrTextTakesTheLongestCellText) {
    ExpectRules({
        {"text", {"abc", "a"}, {"VARCHAR", "3"}},
        {"numbers and text", {12345.0, "ab"}, {"VARCHAR", "5"}},
        {"booleans and numbers", {true, 12.0}, {"VARCHAR", "4"}},
        // "12:00:00 PM" in en_US.
        {"dates and times", {VarDate{kDay}, VarDate{0.5}}, {"VARCHAR", "11"}},
        {"dates and numbers", {VarDate{kDay}, 3.0}, {"VARCHAR", "10"}},
        {"a single space", {" "}, {"VARCHAR", "1"}},
        {"characters, not bytes", {Repeat("\xC3\xA9", 300)}, {"VARCHAR", "300"}},
        {"exactly 255", {Repeat("x", 255)}, {"VARCHAR", "255"}},
        {"256", {Repeat("x", 256)}, {"VARCHAR", "256"}},
        {"an error cell", {1.0, VarError{"#N/A"}}, {"VARCHAR", "1"}},
        {"only an error", {VarError{"#DIV/0!"}}, {"VARCHAR", "1"}},
    });
}

TEST(TypeProposal, EmptyCellsCountForNothing) {
    ExpectRules({
        {"no cells", {}, {"VARCHAR", "255"}},
        {"empty and null", {Variant(), Variant::Null(), ""}, {"VARCHAR", "255"}},
        {"numbers with empty texts", {"", 3.0, Variant()}, {"INT", "11"}},
    });
}

TEST(TypeProposal, LongTextsBecomeTextTypesByTheTablesCharacterSet) {
    const struct {
        const char* name;
        std::string text;
        const char* charset;
        TProposedType expected;
    } cases[] = {
        {"utf8mb4 at its most", Repeat("x", 16383), "utf8mb4", {"VARCHAR", "16383"}},
        {"utf8mb4 one more", Repeat("x", 16384), "utf8mb4", {"TEXT", ""}},
        {"utf8 at its most", Repeat("x", 21844), "utf8", {"VARCHAR", "21844"}},
        {"utf8 one more", Repeat("x", 21845), "utf8", {"TEXT", ""}},
        {"TEXT at its most", Repeat("x", 65535), "utf8", {"TEXT", ""}},
        {"one byte more", Repeat("x", 65536), "utf8", {"MEDIUMTEXT", ""}},
        {"bytes, not characters", Repeat("\xC3\xA9", 32768), "utf8", {"MEDIUMTEXT", ""}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Proposed({c.text}, c.charset), c.expected);
    }
}

TEST(TypeProposal, DigitsAreCountedInTheLocalesCellText) {
    const myfuns comma(TFormatSettings("de_DE"));
    EXPECT_EQ(Proposed({2.5, -1234.125}, "utf8", comma), (TProposedType{"DECIMAL(7,3)", ""}));
    EXPECT_EQ(Proposed({1.5e-5}, "utf8", comma), (TProposedType{"DOUBLE", ""}));
}

size_t Texts(const std::vector<TProposedType>& types) {
    return static_cast<size_t>(std::count(types.begin(), types.end(), TProposedType{"TEXT", ""}));
}

TEST(TypeProposal, TheWidestVarcharsBecomeTextUntilTheRowFits) {
    // 90 columns of VARCHAR(255) in utf8 take 90 * 767 bytes, past 65,535:
    // the widest go first, then the first of the equal ones.
    std::vector<TProposedType> types(90, {"VARCHAR", "255"});
    types[3] = {"VARCHAR", "300"};
    types[7] = {"INT", "11"};
    fit_row_size(types, "utf8", false);
    EXPECT_EQ(Texts(types), 4u);
    EXPECT_EQ(types[3], (TProposedType{"TEXT", ""}));
    EXPECT_EQ(types[2], (TProposedType{"TEXT", ""}));
    EXPECT_EQ(types[4], (TProposedType{"VARCHAR", "255"}));
    EXPECT_EQ(types[7], (TProposedType{"INT", "11"}));
    // A row that fits is left alone; the wider characters make it not fit.
    std::vector<TProposedType> fits(84, {"VARCHAR", "255"});
    fit_row_size(fits, "utf8", false);
    EXPECT_EQ(Texts(fits), 0u);
    fit_row_size(fits, "utf8mb4", false);
    EXPECT_GT(Texts(fits), 0u);
}

TEST(TypeProposal, InnoDbCountsTheVarcharsKeptInItsPage) {
    // 60 columns of 180 bytes each pass InnoDB's 8,126, though VARCHAR(255)
    // columns (which may go off the page) would not.
    std::vector<TProposedType> types(60, {"VARCHAR", "60"});
    fit_row_size(types, "utf8", false);
    EXPECT_EQ(Texts(types), 0u);
    fit_row_size(types, "utf8", true);
    EXPECT_EQ(Texts(types), 19u);
    std::vector<TProposedType> wide(60, {"VARCHAR", "255"});
    fit_row_size(wide, "utf8", true);
    EXPECT_EQ(Texts(wide), 0u);
}

namespace {

class ProposeTypes : public PassFixture {
protected:
    void SetUp() override {
        PassFixture::SetUp();
        PrepareForm();
    }

    std::vector<std::string> Propose(bool names) {
        EXPECT_TRUE(Funcs.load_grid(Grid, kBook, SheetList, names));
        Calls.clear();
        return propose_types(Funcs, Grid, kBook, SheetList, names);
    }

    std::vector<std::string> Types() const {
        std::vector<std::string> types;
        for (int r = 1; r < Grid.RowCount(); ++r)
            types.push_back(Grid.Cell(1, r) + "|" + Grid.Cell(2, r));
        return types;
    }
};

} // namespace

TEST_F(ProposeTypes, FillTypeAndLengthFromTheRowsBelowTheHeaderAndKeepTheNames) {
    AddSheet("Sheet1", [](TSheet& s) {
        Rows(s, {{"id", "price", "when", "note", "blank"},
                 {1.0, 2.5, VarDate{kDay}, "hello"},
                 {2.0, 10.25, VarDate{kDay + 1}, ""},
                 {3.0, Variant(), Variant(), "hi"}});
        s.Touch(4, 5);
    });
    EXPECT_TRUE(Propose(true).empty());
    EXPECT_EQ(Names(), (std::vector<std::string>{"id", "price", "when", "note", "blank"}));
    EXPECT_EQ(Types(), (std::vector<std::string>{"INT|11", "DECIMAL(4,2)|", "DATE|", "VARCHAR|5",
                                                 "VARCHAR|255"}));
    // Without names the headings are data.
    Propose(false);
    EXPECT_EQ(Types(), (std::vector<std::string>{"VARCHAR|2", "VARCHAR|5", "VARCHAR|10",
                                                 "VARCHAR|5", "VARCHAR|5"}));
}

TEST_F(ProposeTypes, ReadEveryStoredCellOnceAndNoOther) {
    AddSheet("Sheet1", [](TSheet& s) {
        Rows(s, {{"a", "b"}, {1.0}});
        s.SetValue(50, 2, 7.5);
        s.SetValue(50000, 1, 123456.0);
    });
    Propose(true);
    EXPECT_EQ(Types(), (std::vector<std::string>{"INT|11", "DECIMAL(2,1)|"}));
    const auto reads = std::count_if(Calls.begin(), Calls.end(), [](const std::string& call) {
        return call.ends_with(").value");
    });
    EXPECT_EQ(reads, 3);
    EXPECT_EQ(std::count(Calls.begin(), Calls.end(), "WorkBooks.Open(" + kBook + ")"), 1);
    EXPECT_EQ(std::count(Calls.begin(), Calls.end(), "Quit"), 1);
}

TEST_F(ProposeTypes, NameTheFirstErrorCellOfEachColumnLeftAsText) {
    AddSheet("Sheet1", [](TSheet& s) {
        Rows(s, {{"qty", "ok", "ratio"},
                 {1.0, 1.0, VarError{"#DIV/0!"}},
                 {VarError{"#N/A"}, 2.0, VarError{"#VALUE!"}}});
    });
    EXPECT_EQ(Propose(true),
              (std::vector<std::string>{"Column 1 (qty) holds the error #N/A in sheet row 3: it is "
                                        "proposed as text, and the conversion stops at that cell",
                                        "Column 3 (ratio) holds the error #DIV/0! in sheet row 2: "
                                        "it is proposed as text, and the conversion stops at that "
                                        "cell"}));
    EXPECT_EQ(Types(), (std::vector<std::string>{"VARCHAR|1", "INT|11", "VARCHAR|1"}));
}

TEST_F(ProposeTypes, MeasureTextsForTheCharacterSetTheTableWillHave) {
    AddSheet("Sheet1", [](TSheet& s) { Rows(s, {{Repeat("x", 20000)}, {"\xF0\x9F\x98\x80"}}); });
    Propose(false);
    EXPECT_TRUE(Grid.HasWideChars());
    EXPECT_EQ(Types(), std::vector<std::string>{"TEXT|"});
    Funcs.TableOptions.Charset = TCharsetChoice::Utf8;
    Propose(false);
    EXPECT_EQ(Types(), std::vector<std::string>{"VARCHAR|20000"});
}

TEST_F(ProposeTypes, LeaveTheWorkbooksErrorsToTheCaller) {
    AddSheet("Sheet1", [](TSheet& s) { Rows(s, {{"a"}}); });
    Propose(false);
    EXPECT_THROW(propose_types(Funcs, Grid, "/data/other.xlsx", SheetList, false),
                 EAutomationError);
}

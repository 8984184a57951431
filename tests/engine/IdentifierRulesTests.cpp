#include "engine/funcs.h"

#include <gtest/gtest.h>

using namespace tabellix;

namespace {

TStringGrid GridWithNames(std::initializer_list<std::string> names) {
    TStringGrid grid = MakeColumnGrid();
    grid.SetRowCount(static_cast<int>(names.size()) + 1);
    int r = 1;
    for (const auto& n : names)
        grid.SetCell(0, r++, n);
    return grid;
}

} // namespace

TEST(IdentifierRules, SpecialCharacterFilter) {
    myfuns f;
    struct Case {
        const char* in;
        const char* out;
    } cases[] = {
        {"  Unit Price (\u20AC) ", "unit_price_"},
        {"\u00E9 abc", "_abc"},
        {"Stra\u00DFe", "strae"},
        {"%%%", ""},
        {"  Hello World  ", "hello_world"},
        {"A-B", "ab"},
        {"Col 1", "col_1"},
        {"   ", ""},
        {"\t\nTab\tHere\r\n", "tabhere"},
        {"\u212Aelvin", "kelvin"}, // the Kelvin sign lower-cases to "k"
        {"", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.in);
        EXPECT_EQ(f.spchar_filter(c.in), c.out);
    }
}

TEST(IdentifierRules, ValidStart) {
    myfuns f;
    struct Case {
        const char* in;
        bool valid;
    } cases[] = {
        {"Name", true},        {"name1", true}, {"1name", false},      {" Name", false},
        {"_x", false},         {"", false},     {"\u00C9mile", false}, {"%a", false},
        {"\u212Aelvin", true}, {"a%", true},    {"2024", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.in);
        EXPECT_EQ(f.valid_start(c.in), c.valid);
    }
}

TEST(IdentifierRules, IsNumeric) {
    myfuns f;
    EXPECT_TRUE(f.isnumeric("0042"));
    EXPECT_TRUE(f.isnumeric(""));
    EXPECT_FALSE(f.isnumeric("-5"));
    EXPECT_FALSE(f.isnumeric("1.5"));
    EXPECT_FALSE(f.isnumeric(" 1"));
}

TEST(IdentifierRules, ColumnNameScan) {
    myfuns f;
    struct Case {
        const char* name;
        std::initializer_list<std::string> grid;
        const char* proposed;
        const char* expected;
    } cases[] = {
        {"empty grid keeps the filtered name", {"", ""}, "Unit Price", "unit_price"},
        {"first suffix", {"a"}, "a", "a_1"},
        {"counts suffixes in order", {"a", "a_1"}, "a", "a_2"},
        {"other rows between", {"a", "b", "a_1"}, "a", "a_2"},
        {"gap in the suffixes", {"a", "a_2"}, "a", "a_1"},
        {"case matters", {"A"}, "a", "a"},
        {"nothing left falls back to column", {"x"}, "???", "column"},
        {"fallback is made unique", {"column"}, "???", "column_1"},
        {"fallback scanned again", {"column", "column_1"}, "???", "column_2"},
        // The forward scan alone would answer "a_1", which row 1 holds.
        {"suffixed form above the base", {"a_1", "a"}, "a", "a_2"},
        {"several taken above the base", {"a_1", "a_2", "a"}, "a", "a_3"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(f.get_col_name(c.proposed, GridWithNames(c.grid)), c.expected);
    }
}

TEST(IdentifierRules, FillingRowsInTurnGivesColumnColumn1Column2) {
    myfuns f;
    TStringGrid grid = GridWithNames({"", "", "", ""});
    for (int r = 1; r < grid.RowCount(); ++r)
        grid.SetCell(0, r, f.get_col_name("column", grid));
    EXPECT_EQ(grid.Cell(0, 1), "column");
    EXPECT_EQ(grid.Cell(0, 2), "column_1");
    EXPECT_EQ(grid.Cell(0, 3), "column_2");
    EXPECT_EQ(grid.Cell(0, 4), "column_3");
}

TEST(IdentifierRules, EveryResultIsFreeInTheGrid) {
    myfuns f;
    const std::vector<std::string> pool = {"a", "a_1", "a_2", "a_3", "b", "column", "column_1"};
    // Every arrangement of up to three names from the pool.
    for (size_t i = 0; i < pool.size(); ++i)
        for (size_t j = 0; j < pool.size(); ++j)
            for (size_t k = 0; k < pool.size(); ++k) {
                TStringGrid grid = GridWithNames({pool[i], pool[j], pool[k]});
                for (const char* proposal : {"a", "column", "!!"}) {
                    std::string name = f.get_col_name(proposal, grid);
                    for (int r = 1; r < grid.RowCount(); ++r)
                        ASSERT_NE(grid.Cell(0, r), name)
                            << pool[i] << "," << pool[j] << "," << pool[k] << " <- " << proposal;
                }
            }
}

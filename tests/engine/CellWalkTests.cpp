// The walk over a sheet's stored cells: which cells a block visits and in
// what order, the hooks around each row, a visitor ending the walk, and
// what the walk costs the workbook.
#include "engine/cell_walk.h"
#include "tests/engine/PassFixture.h"
#include "tests/support/ExpectError.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

using namespace tabellix;
using namespace tabellix::test;

namespace {

class CellWalk : public PassFixture {
protected:
    // The walk over block of the sheet "S", each hook written as a line.
    std::vector<std::string> Visits(const TCellBlock& block) {
        std::vector<std::string> visits;
        TSheetWalk walk(kBook, 1);
        walk.Walk(block,
                  {.RowStarted = [&](int row) { visits.push_back("row " + std::to_string(row)); },
                   .Cell =
                       [&](int row, int column, const Variant& value) {
                           visits.push_back(std::to_string(row) + "," + std::to_string(column) +
                                            "=" + value.AsString());
                           return true;
                       },
                   .RowEnded =
                       [&](int row, const std::vector<int>& columns) {
                           std::string line = "end " + std::to_string(row) + ":";
                           for (int c : columns)
                               line += " " + std::to_string(c);
                           visits.push_back(line);
                       }});
        walk.ShutDown();
        return visits;
    }

    long Reads() const {
        return std::count_if(Calls.begin(), Calls.end(),
                             [](const std::string& call) { return call.starts_with("Cells("); });
    }
};

} // namespace

TEST_F(CellWalk, VisitsTheStoredCellsOfTheBlockInRowOrder) {
    AddSheet("S", [](TSheet& s) {
        s.SetText(1, 1, "a");
        s.SetText(1, 3, "c");
        s.SetText(2, 2, "");
        s.Touch(3, 1);
        s.SetNumber(4, 1, 7);
        s.SetText(4, 3, "z");
    });
    const struct {
        const char* name;
        TCellBlock block;
        std::vector<std::string> visits;
    } cases[] = {
        {"the whole used range",
         {},
         {"row 1", "1,1=a", "1,3=c", "end 1: 1 3", "row 2", "2,2=", "end 2: 2", "row 4", "4,1=7",
          "4,3=z", "end 4: 1 3"}},
        {"from the second row",
         {.FirstRow = 2},
         {"row 2", "2,2=", "end 2: 2", "row 4", "4,1=7", "4,3=z", "end 4: 1 3"}},
        {"beyond the last stored row", {.FirstRow = 5}, {}},
        // A row whose stored cells all lie beyond the block is still started.
        {"the first two columns",
         {.LastColumn = 2},
         {"row 1", "1,1=a", "end 1: 1", "row 2", "2,2=", "end 2: 2", "row 4", "4,1=7", "end 4: 1"}},
        {"no column", {.LastColumn = 0}, {"row 1", "end 1:", "row 2", "end 2:", "row 4", "end 4:"}},
        {"more columns than the used range",
         {.FirstRow = 4, .LastColumn = 99},
         {"row 4", "4,1=7", "4,3=z", "end 4: 1 3"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Calls.clear();
        EXPECT_EQ(Visits(c.block), c.visits);
        EXPECT_EQ(Reads(),
                  std::count_if(c.visits.begin(), c.visits.end(),
                                [](const std::string& v) { return v.find('=') != v.npos; }));
    }
}

TEST_F(CellWalk, AVisitorEndsTheWalkAtACell) {
    AddSheet("S", [](TSheet& s) { Rows(s, {{"a", "stop", "c"}, {"d"}}); });
    std::vector<std::string> seen;
    bool ended = false;
    TSheetWalk walk(kBook, 1);
    walk.Walk({}, {.Cell =
                       [&](int, int, const Variant& value) {
                           seen.push_back(value.AsString());
                           return value.AsString() != "stop";
                       },
                   .RowEnded = [&](int, const std::vector<int>&) { ended = true; }});
    EXPECT_EQ(seen, (std::vector<std::string>{"a", "stop"}));
    EXPECT_FALSE(ended);
    EXPECT_EQ(Calls.back(), "Cells(1,2).value");
}

TEST_F(CellWalk, ASparseSheetCostsItsStoredCells) {
    AddSheet("S", [](TSheet& s) {
        s.SetNumber(1, 1, 1);
        s.SetNumber(MaxSheetRows, MaxSheetColumns, 2);
    });
    const std::vector<std::string> visits = Visits({});
    EXPECT_EQ(visits.size(), 6u);
    EXPECT_EQ(Reads(), 2);
    EXPECT_EQ(
        std::count_if(Calls.begin(), Calls.end(),
                      [](const std::string& call) { return call.starts_with("StoredCells"); }),
        5); // NextRow(1), Columns(1), NextRow(2), Columns(last), NextRow(last + 1)
}

TEST_F(CellWalk, ReadsTheUsedRangeOnceWhenFirstAsked) {
    AddSheet("S", [](TSheet& s) {
        s.SetText(3, 3, "x");
        s.SetText(5, 4, "y");
    });
    TSheetWalk walk(kBook, 1);
    EXPECT_EQ(Calls, (std::vector<std::string>{"Create", "Visible:=False",
                                               "WorkBooks.Open(/data/book.xlsx)", "Worksheets(1)",
                                               "Worksheets(1).activate"}));
    EXPECT_EQ(walk.Rows(), 5);
    EXPECT_EQ(walk.Columns(), 4);
    EXPECT_EQ(walk.Rows(), 5);
    walk.Walk({}, {});
    EXPECT_EQ(walk.Columns(), 4);
    EXPECT_EQ(std::count(Calls.begin(), Calls.end(), "Worksheets(1).UsedRange.Rows.Count"), 1);
    EXPECT_EQ(std::count(Calls.begin(), Calls.end(), "Worksheets(1).UsedRange.Columns.Count"), 1);
    // A walk without a cell hook reads no cell.
    EXPECT_EQ(Reads(), 0);
}

TEST_F(CellWalk, ASheetThatIsNotThereIsReleasedWithoutAShutDown) {
    AddSheet("S", [](TSheet& s) { s.SetText(1, 1, "a"); });
    const auto e = ExpectError<EAutomationError>([] { TSheetWalk walk(kBook, 2); });
    ASSERT_TRUE(e);
    EXPECT_EQ(e->Message(), "The workbook has no worksheet 2 (it has 1)");
    EXPECT_EQ(Calls.back(), "Release");
    EXPECT_EQ(std::count(Calls.begin(), Calls.end(), "Quit"), 0);
}

// The used range as the application reports it, and the counts handed to
// the engine: from A1 to the far corner of the used range.
#include "automation/WorkbookApplication.h"
#include "automation/WorkbookReader.h"
#include "tests/support/TestEnv.h"

#include <gtest/gtest.h>

namespace tabellix {
namespace {

std::string Fixture(const char* name) {
    return (test::FixturesDir() / "workbooks" / name).string();
}

TEST(UsedRange, IsTheBoxOfStoredCellsFormattingOnlyOnesIncluded) {
    const auto book = LoadWorkbook(Fixture("offset-range.xlsx"));
    const TSheet& sheet = book->Sheet(0);
    EXPECT_EQ(sheet.FirstRow(), 3);
    EXPECT_EQ(sheet.FirstColumn(), 3);
    EXPECT_EQ(sheet.LastRow(), 5); // E5 holds a format, no value
    EXPECT_EQ(sheet.LastColumn(), 5);
    EXPECT_EQ(sheet.Kind(5, 5), TCellKind::Empty);
}

TEST(UsedRange, CountsRunFromA1SoNoFarRowOrColumnIsDropped) {
    TWorkbookApplication app;
    app.WorkBooks().Open(Fixture("offset-range.xlsx"));
    TWorksheet sheet = app.Worksheets()(1);
    sheet.activate();
    EXPECT_EQ(sheet.UsedRange().Columns().Count(), 5);
    EXPECT_EQ(sheet.UsedRange().Rows().Count(), 5);
    EXPECT_EQ(app.Cells(3, 4).value(), Variant(1.0));
    EXPECT_EQ(app.Cells(4, 3).value(), Variant(2.0));
}

TEST(UsedRange, OfAnEmptySheetIsTheOneCellA1) {
    TWorkbookApplication app;
    app.WorkBooks().Open(Fixture("empty-sheet.xlsx"));
    TWorksheet sheet = app.Worksheets()(1);
    sheet.activate();
    EXPECT_EQ(sheet.UsedRange().Columns().Count(), 1);
    EXPECT_EQ(sheet.UsedRange().Rows().Count(), 1);
    EXPECT_TRUE(app.Cells(1, 1).value().IsEmpty());
}

TEST(UsedRange, BinaryBlankCellsWidenItToo) {
    const auto book = LoadWorkbook(Fixture("sheet-order.xls"));
    const TSheet& secret = book->Sheet(2);
    EXPECT_EQ(secret.LastRow(), 4);
    EXPECT_EQ(secret.LastColumn(), 5);
}

} // namespace
} // namespace tabellix

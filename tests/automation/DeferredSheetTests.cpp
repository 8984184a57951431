// Sheets whose cells are read on first use: listing reads none, a damaged
// sheet raises when it is activated or measured, and keeps raising.
#include "automation/WorkbookApplication.h"
#include "automation/WorkbookError.h"
#include "automation/WorkbookReader.h"
#include "tests/support/TestEnv.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace tabellix {
namespace {

std::string Fixture(const char* name) {
    return (test::FixturesDir() / "workbooks" / name).string();
}

// Runs call, which must raise the reader's malformed-sheet error naming file.
template <class Call> void ExpectDamagedSheet(const std::string& file, Call call) {
    try {
        call();
        ADD_FAILURE() << "no error";
    } catch (const EWorkbookError& e) {
        EXPECT_EQ(e.Code(), TWorkbookErrorCode::Malformed);
        EXPECT_THAT(e.Message(),
                    testing::StartsWith("Cannot read the workbook \"" + file + "\": "));
        EXPECT_THAT(e.Message(), testing::HasSubstr("shared string"));
    }
}

TEST(DeferredSheets, ListingReadsNoCellsAndADamagedSheetRaisesOnFirstUse) {
    for (const char* name : {"damaged-second-sheet.xlsx", "damaged-second-sheet.xls"}) {
        SCOPED_TRACE(name);
        const std::string file = Fixture(name);
        TWorkbookApplication app;
        app.WorkBooks().Open(file);
        ASSERT_EQ(app.Worksheets().count(), 2);
        EXPECT_EQ(app.Worksheets()(1).name(), Variant("Good"));
        EXPECT_EQ(app.Worksheets()(2).name(), Variant("Damaged"));

        TWorksheet good = app.Worksheets()(1);
        good.activate();
        EXPECT_EQ(app.Cells(1, 1).value(), Variant("only"));

        TWorksheet damaged = app.Worksheets()(2);
        ExpectDamagedSheet(file, [&] { damaged.UsedRange().Rows().Count(); });
        ExpectDamagedSheet(file, [&] { damaged.activate(); });
        // Neither the failed sheet nor the one before it passes for active.
        EXPECT_THROW(app.Cells(1, 1).value(), EAutomationError);
        ExpectDamagedSheet(file, [&] { damaged.activate(); });
    }
}

TEST(DeferredSheets, OpeningDefersEverySheetAndLoadingReadsOne) {
    for (const char* name : {"sheet-order.xlsx", "sheet-order.xls"}) {
        SCOPED_TRACE(name);
        const auto book = OpenWorkbookFile(Fixture(name));
        ASSERT_EQ(book->SheetCount(), 3);
        for (int i = 0; i < book->SheetCount(); ++i)
            EXPECT_FALSE(book->Sheet(i).Loaded());
        TSheet& second = book->Sheet(1);
        second.Load();
        EXPECT_TRUE(second.Loaded());
        EXPECT_FALSE(book->Sheet(0).Loaded());
        EXPECT_EQ(second.Name().substr(0, 5), "Alpha");
        EXPECT_EQ(second.Value(1, 1).Type(), VarType::String);
    }
}

TEST(DeferredSheets, AFailedReadLeavesTheSheetEmptyAndItsTextsDropped) {
    TWorkbook book;
    book.AddText("kept");
    TSheet& sheet = book.AddSheet("S");
    int attempts = 0;
    sheet.SetCellLoader([&](TSheet& s) {
        s.SetText(7, 3, "partial");
        if (++attempts < 3)
            FailRead(TWorkbookErrorCode::Truncated, "cut short");
    });
    for (int i = 0; i < 2; ++i) {
        EXPECT_THROW(sheet.Load(), EWorkbookError);
        EXPECT_FALSE(sheet.Loaded());
        EXPECT_EQ(sheet.LastRow(), 1);
        EXPECT_EQ(sheet.LastColumn(), 1);
        EXPECT_TRUE(sheet.Value(7, 3).IsEmpty());
        EXPECT_EQ(book.PoolSize(), 1u);
    }
    sheet.Load();
    EXPECT_TRUE(sheet.Loaded());
    EXPECT_EQ(sheet.Value(7, 3), Variant("partial"));
    sheet.Load(); // a loaded sheet is not read again
    EXPECT_EQ(attempts, 3);
}

} // namespace
} // namespace tabellix

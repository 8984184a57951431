// The shared real-world workbooks from several producers: every one opens
// or fails with the reader's error, and a handful keep their values.
#include "automation/WorkbookError.h"
#include "automation/WorkbookReader.h"
#include "tests/support/TestEnv.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <set>

namespace tabellix {
namespace {

// The files that are broken or sealed on purpose.
const std::set<std::string> kRefused = {
    "calamine/too_small.xls",
    "edr/EmptyZipFile.xlsx",
    "edr/Test_git_issue_242_xor_pwd_password.xls",
    "edr/agile_AES128_SHA1_CBC_pwd_password.xlsx",
    "xlnt/1_powerpoint_presentation.xlsx",
};

TEST(RealWorkbooks, EveryOneOpensOrFailsWithAClearError) {
    TABELLIX_REQUIRE_SHARED_WORKBOOKS(dir);
    int seen = 0;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(dir)) {
        const auto ext = entry.path().extension();
        if (ext != ".xls" && ext != ".xlsx")
            continue;
        ++seen;
        const std::string name = entry.path().lexically_relative(dir).generic_string();
        SCOPED_TRACE(name);
        try {
            const auto book = LoadWorkbook(entry.path().string());
            EXPECT_FALSE(kRefused.count(name)) << "opened a file that should be refused";
            EXPECT_GT(book->SheetCount(), 0);
        } catch (const EWorkbookError& e) {
            EXPECT_TRUE(kRefused.count(name)) << e.Message();
            EXPECT_NE(e.Message().find(entry.path().string()), std::string::npos);
        }
    }
    EXPECT_GE(seen, 60);
}

std::unique_ptr<TWorkbook> LoadReal(const std::filesystem::path& dir, const char* name) {
    return LoadWorkbook((dir / name).string());
}

TEST(RealWorkbooks, RefusesSealedFilesAsEncrypted) {
    TABELLIX_REQUIRE_SHARED_WORKBOOKS(dir);
    for (const char* name : {"edr/Test_git_issue_242_xor_pwd_password.xls",
                             "edr/agile_AES128_SHA1_CBC_pwd_password.xlsx"}) {
        SCOPED_TRACE(name);
        try {
            LoadReal(dir, name);
            ADD_FAILURE() << "opened";
        } catch (const EWorkbookError& e) {
            EXPECT_EQ(e.Code(), TWorkbookErrorCode::Encrypted);
        }
    }
}

TEST(RealWorkbooks, ListOnlyTheirWorksheets) {
    TABELLIX_REQUIRE_SHARED_WORKBOOKS(dir);
    const auto any = LoadReal(dir, "calamine/any_sheets.xls");
    ASSERT_EQ(any->SheetCount(), 3); // the chart sheet is left out
    EXPECT_EQ(any->Sheet(2).Name(), "VeryHidden");
    const auto chart = LoadReal(dir, "xlsxwriter/chartsheet02.xlsx");
    ASSERT_EQ(chart->SheetCount(), 2);
    EXPECT_EQ(chart->Sheet(1).Name(), "Sheet2");
    const auto mac = LoadReal(dir, "phpss/maccentraleurope.biff5.xls");
    EXPECT_EQ(mac->Sheet(0).Name(), "\xC3\x84rkusz1");
}

TEST(RealWorkbooks, KeepTheirValuesAndKinds) {
    TABELLIX_REQUIRE_SHARED_WORKBOOKS(dir);
    const auto d1904 = LoadReal(dir, "xlsxwriter/date_1904_02.xlsx");
    EXPECT_EQ(d1904->Sheet(0).Value(1, 1), Variant(VarDate{1462}));
    const auto errors = LoadReal(dir, "xlsxwriter/types07.xlsx");
    EXPECT_EQ(errors->Sheet(0).Value(1, 1), Variant(VarError{"#NUM!"}));
    const auto pounds = LoadReal(dir, "edr/Test_Issue_11397.xlsx");
    EXPECT_EQ(pounds->Sheet(0).Value(2, 1), Variant("$44.99"));
    EXPECT_EQ(pounds->Sheet(0).Value(3, 1), Variant(VarCurrency{449900}));
    const auto yen = LoadReal(dir, "xlsxwriter/utf8_09.xlsx");
    EXPECT_EQ(yen->Sheet(0).Kind(1, 1), TCellKind::Currency);
    const auto formulas = LoadReal(dir, "xlrd/formula_test_sjmachin.xls");
    const TSheet& f = formulas->Sheet(0);
    EXPECT_EQ(f.Value(2, 2), Variant("\xD0\x9C\xD0\x9E\xD0\xA1\xD0\x9A\xD0\x92\xD0\x90 "
                                     "\xD0\x9C\xD0\xBE\xD1\x81\xD0\xBA\xD0\xB2\xD0\xB0"));
    EXPECT_NEAR(f.Value(3, 2).AsDouble(), 1.0 / 7, 1e-15);
    EXPECT_EQ(f.Value(5, 2), Variant(""));
    const auto dates = LoadReal(dir, "edr/Test_num_double_date_bool_string.xlsx");
    EXPECT_EQ(dates->Sheet(0).Value(1, 3), Variant(VarDate{39944}));
    const auto biff5 = LoadReal(dir, "edr/as3xls_BIFF5.xls");
    EXPECT_EQ(biff5->Sheet(0).Value(1, 2), Variant("Hi"));
    const auto old = LoadReal(dir, "calamine/optional_records.xls");
    EXPECT_EQ(old->Sheet(0).Value(2, 1), Variant(VarDate{36892}));
}

TEST(RealWorkbooks, UsedRangesFollowStoredCellsNotTheDeclaredDimension) {
    TABELLIX_REQUIRE_SHARED_WORKBOOKS(dir);
    // Claims A1:XFD1048576 and writes bare cells in the default format.
    const auto wide = LoadReal(dir, "calamine/issue_174.xlsx");
    EXPECT_EQ(wide->Sheet(0).LastColumn(), 11);
    EXPECT_EQ(wide->Sheet(0).LastRow(), 2);
    const auto late = LoadReal(dir, "calamine/header-row.xlsx");
    EXPECT_EQ(late->Sheet(0).FirstRow(), 3);
    EXPECT_EQ(late->Sheet(0).Value(3, 3), Variant("Note 1"));
    const auto right = LoadReal(dir, "calamine/issue446.xlsx");
    EXPECT_EQ(right->Sheet(0).FirstColumn(), 5);
    EXPECT_EQ(right->Sheet(0).LastColumn(), 34);
}

} // namespace
} // namespace tabellix

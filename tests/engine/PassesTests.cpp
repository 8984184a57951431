#include "tests/engine/PassFixture.h"
#include "tests/support/ExpectError.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

using namespace tabellix;
using namespace tabellix::test;

namespace {

// A dump of the first sheet into a temporary folder.
class DumpFixture : public PassFixture {
protected:
    void SetUp() override {
        PassFixture::SetUp();
        PrepareForm();
    }

    void LoadAndDump(bool names) {
        Form.chk_names = names;
        ASSERT_TRUE(Funcs.load_grid(Grid, kBook, SheetList, names));
        Calls.clear();
        Completed = Funcs.dump_file(File(), Form);
    }

    std::string File() const { return (Dir.Path() / "out.SQL").string(); }
    std::string Written() const { return test::ReadFileBytes(File()); }

    test::TempDir Dir;
    bool Completed = false;
};

} // namespace

TEST_F(PassFixture, LoadsheetsListsWorksheetsInOrderAndSelectsTheFirst) {
    AddSheet("Data", [](TSheet&) {});
    AddSheet("Übersicht", [](TSheet&) {});
    SheetList.Items.Add("stale");
    SheetList.ItemIndex = -1;
    Funcs.loadsheets(kBook, SheetList);
    EXPECT_EQ(SheetList.Items.Items(), (std::vector<std::string>{"Data", "Übersicht"}));
    EXPECT_EQ(SheetList.ItemIndex, 0);
    EXPECT_EQ(Calls,
              (std::vector<std::string>{
                  "Create", "Visible:=False", "WorkBooks.Open(/data/book.xlsx)", "Worksheets.count",
                  "Worksheets(1)", "Worksheets(1).name", "Worksheets(2)", "Worksheets(2).name",
                  "DisplayAlerts:=False", "WorkBooks.Close", "Quit", "Release"}));
}

TEST_F(PassFixture, LoadsheetsLeavesTheListAsItWasWhenTheFileDoesNotOpen) {
    SheetList.Items.Add("kept");
    SheetList.ItemIndex = 0;
    EXPECT_THROW(Funcs.loadsheets("/data/missing.xlsx", SheetList), EAutomationError);
    EXPECT_EQ(SheetList.Items.Items(), std::vector<std::string>{"kept"});
    EXPECT_EQ(Calls.back(), "Release");
    EXPECT_EQ(std::count(Calls.begin(), Calls.end(), "Quit"), 0);
}

TEST_F(PassFixture, CreationFailureNamesTheProgId) {
    SetAutomationFactory([]() -> std::unique_ptr<TAutomationApplication> {
        throw EAutomationError("Class not registered");
    });
    auto e = ExpectError<EAutomationError>([&] { Funcs.loadsheets(kBook, SheetList); });
    ASSERT_TRUE(e);
    EXPECT_EQ(e->Message(), "Class not registered, ProgID: \"Excel.Application\"");
}

TEST_F(PassFixture, LoadGridNamesColumnsFromTheFirstRowOrGenerically) {
    struct Case {
        const char* title;
        std::vector<Variant> firstRow;
        bool flag;
        std::vector<std::string> names;
    } cases[] = {
        {"flag clear", {"Name", "Age"}, false, {"column", "column_1"}},
        {"headings", {"Unit Price", "Name"}, true, {"unit_price", "name"}},
        {"same name thrice", {"Name", "name", "NAME"}, true, {"name", "name_1", "name_2"}},
        {"digits", {"1", "2", "3"}, true, {"column", "column_1", "column_2"}},
        {"number and blank", {2024.0, Variant(), "ok"}, true, {"column", "column_1", "ok"}},
        {"bad starts", {" x", "Ärger", "id"}, true, {"column", "column_1", "id"}},
        {"suffixed forms first",
         {"a_1", "a", "a", "a_2", "a"},
         true,
         {"a_1", "a", "a_2", "a_2_1", "a_3"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.title);
        Sheets.clear();
        AddSheet("S", [&](TSheet& s) { Rows(s, {c.firstRow, {"a"}}); });
        SheetList.Items.Clear();
        SheetList.Items.Add("S");
        SheetList.ItemIndex = 0;
        ASSERT_TRUE(Funcs.load_grid(Grid, kBook, SheetList, c.flag));
        EXPECT_EQ(Names(), c.names);
        for (int r = 1; r < Grid.RowCount(); ++r) {
            EXPECT_EQ(Grid.Cell(1, r), "VARCHAR");
            EXPECT_EQ(Grid.Cell(2, r), "255");
        }
    }
}

TEST_F(PassFixture, LoadGridShrinksAndForgetsEarlierNames) {
    AddSheet("Wide", [](TSheet& s) { Rows(s, {{"column", "b", "c", "d"}}); });
    AddSheet("Narrow", [](TSheet& s) { Rows(s, {{"x"}}); });
    Funcs.loadsheets(kBook, SheetList);
    ASSERT_TRUE(Funcs.load_grid(Grid, kBook, SheetList, true));
    EXPECT_EQ(Grid.RowCount(), 5);
    SheetList.ItemIndex = 1;
    ASSERT_TRUE(Funcs.load_grid(Grid, kBook, SheetList, false));
    EXPECT_EQ(Grid.RowCount(), 2);
    EXPECT_EQ(Names(), std::vector<std::string>{"column"});
    EXPECT_EQ(Grid.Cell(0, 0), "Field Name");
}

TEST_F(PassFixture, LoadGridCountsFromA1WhenTheUsedRangeStartsFurtherIn) {
    AddSheet("S", [](TSheet& s) {
        s.SetText(3, 3, "Name");
        s.SetText(3, 4, "Age");
    });
    SheetList.Items.Add("S");
    SheetList.ItemIndex = 0;
    ASSERT_TRUE(Funcs.load_grid(Grid, kBook, SheetList, false));
    EXPECT_EQ(Grid.RowCount(), 5);
}

TEST_F(PassFixture, LoadGridCallOrder) {
    AddSheet("S", [](TSheet& s) { Rows(s, {{"Name"}}); });
    SheetList.Items.Add("S");
    SheetList.ItemIndex = 0;
    ASSERT_TRUE(Funcs.load_grid(Grid, kBook, SheetList, true));
    EXPECT_EQ(Calls, (std::vector<std::string>{
                         "Create", "Visible:=False", "WorkBooks.Open(/data/book.xlsx)",
                         "Worksheets(1)", "Worksheets(1).activate",
                         "Worksheets(1).UsedRange.Columns.Count", "Cells(1,1).value",
                         // The sheet's stored cells are read for characters beyond utf8.
                         "Worksheets(1).UsedRange.Rows.Count", "StoredCells.NextRow(1)",
                         "StoredCells.Columns(1)", "Cells(1,1).value", "StoredCells.NextRow(2)",
                         "DisplayAlerts:=False", "WorkBooks.Close", "Quit", "Release"}));
}

TEST_F(PassFixture, LoadGridNotesCharactersBeyondUtf8AnywhereInTheSheet) {
    const struct {
        const char* name;
        Variant cell;
        bool wide;
    } cases[] = {
        {"emoji", "smile \xF0\x9F\x98\x80", true},
        {"last character of the plane", "\xEF\xBF\xBD \xE2\x82\xAC \xC3\xA4", false},
        {"number", 2.5, false},
        {"error cell", VarError{"#N/A"}, false},
    };
    SheetList.Items.Add("S");
    SheetList.ItemIndex = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Sheets.clear();
        AddSheet("S", [&](TSheet& s) { Rows(s, {{"a", "b"}, {"x"}, {"y", c.cell}}); });
        ASSERT_TRUE(Funcs.load_grid(Grid, kBook, SheetList, false));
        EXPECT_EQ(Grid.HasWideChars(), c.wide);
        EXPECT_EQ(
            Funcs.get_table("t", "", Grid).ends_with(c.wide ? "CHARSET=utf8mb4;" : "CHARSET=utf8;"),
            true);
    }
    // Kept with the grid until the next load.
    Sheets.clear();
    AddSheet("S", [](TSheet& s) { Rows(s, {{"plain"}}); });
    ASSERT_TRUE(Funcs.load_grid(Grid, kBook, SheetList, false));
    EXPECT_FALSE(Grid.HasWideChars());
}

TEST_F(PassFixture, LoadGridFailingToOpenShowsBothMessagesAndKeepsTheGrid) {
    AddSheet("S", [](TSheet& s) { Rows(s, {{"a", "b"}}); });
    SheetList.Items.Add("S");
    SheetList.ItemIndex = 0;
    ASSERT_TRUE(Funcs.load_grid(Grid, kBook, SheetList, false));
    const std::vector<std::string> before = Names();
    Calls.clear();

    SheetList.ItemIndex = 1; // no worksheet behind it
    EXPECT_FALSE(Funcs.load_grid(Grid, kBook, SheetList, false));
    ASSERT_EQ(Messages.size(), 2u);
    EXPECT_EQ(Messages[0], "The workbook has no worksheet 2 (it has 1)");
    EXPECT_EQ(Messages[1], "Could not open this File!");
    EXPECT_EQ(Names(), before);
    EXPECT_EQ(Calls.back(), "Release");
    EXPECT_EQ(std::count(Calls.begin(), Calls.end(), "Quit"), 0);

    Messages.clear();
    SheetList.ItemIndex = 0;
    EXPECT_FALSE(Funcs.load_grid(Grid, "/data/missing.xlsx", SheetList, false));
    EXPECT_EQ(Messages.back(), "Could not open this File!");
}

TEST_F(PassFixture, LoadGridLeavesAnErrorHeadingToTheCaller) {
    AddSheet("S", [](TSheet& s) { Rows(s, {{"ok", VarError{"#N/A"}, "c"}}); });
    SheetList.Items.Add("S");
    SheetList.ItemIndex = 0;
    EXPECT_THROW(Funcs.load_grid(Grid, kBook, SheetList, true), EConvertError);
    EXPECT_EQ(Grid.RowCount(), 4);
    EXPECT_EQ(Grid.Cell(0, 1), "ok");
    EXPECT_EQ(Grid.Cell(0, 2), "");
}

TEST_F(DumpFixture, WritesTheExampleDumpByteForByte) {
    AddSheet("Sheet1", [](TSheet& s) {
        Rows(s, {{"Name", "Age"}, {"Bob", 42.0}, {"O'Brien", 3.5}});
    });
    LoadAndDump(true);
    EXPECT_TRUE(Completed);
    EXPECT_EQ(TableName, "new_table");
    EXPECT_EQ(Written(),
              kBom + " CREATE TABLE `new_table` (   `name`  VARCHAR(255)  ,  `age`  VARCHAR(255)  "
                     ") ENGINE=MyISAM DEFAULT CHARSET=utf8;insert into new_table "
                     "values('Bob','42' );insert into new_table values('O\\'Brien','3.5' );");
    EXPECT_EQ(Gauge.Events, (std::vector<std::string>{"range 0..3", "position 0", "position 2",
                                                      "process", "position 3", "process"}));
}

TEST_F(DumpFixture, CallOrderReadsEachCellOnceAndShutsDown) {
    AddSheet("Sheet1", [](TSheet& s) { Rows(s, {{"a", "b"}}); });
    LoadAndDump(false);
    EXPECT_EQ(Calls,
              (std::vector<std::string>{
                  "Create", "Visible:=False", "WorkBooks.Open(/data/book.xlsx)", "Worksheets(1)",
                  "Worksheets(1).activate", "Worksheets(1).UsedRange.Columns.Count",
                  "Worksheets(1).UsedRange.Rows.Count", "StoredCells.NextRow(1)",
                  "StoredCells.Columns(1)", "Cells(1,1).value", "Cells(1,2).value",
                  "StoredCells.NextRow(2)", "DisplayAlerts:=False", "WorkBooks.Close", "Quit",
                  "Release"}));
}

TEST_F(DumpFixture, ASparseSheetCostsItsStoredCellsAndKeepsEveryColumn) {
    AddSheet("Sheet1", [](TSheet& s) {
        s.SetNumber(1, 1, 1);
        s.SetNumber(MaxSheetRows, MaxSheetColumns, 2);
    });
    LoadAndDump(false);
    EXPECT_EQ(std::count_if(Calls.begin(), Calls.end(),
                            [](const std::string& call) { return call.starts_with("Cells("); }),
              2);
    std::vector<TInsertValue> first(MaxSheetColumns), last(MaxSheetColumns);
    first.front() = "1";
    last.back() = "2";
    EXPECT_EQ(Written(), kBom + Funcs.get_table("new_table", "", Grid) +
                             Funcs.get_insert("new_table", first) +
                             Funcs.get_insert("new_table", last));
    EXPECT_EQ(Gauge.Events,
              (std::vector<std::string>{"range 0..1048576", "position 0", "position 1", "process",
                                        "position 1048576", "process"}));
}

TEST_F(DumpFixture, RefusesADumpFileThatIsTheWorkbookBeforeWritingIt) {
    const std::string book = (Dir.Path() / "book.SQL").string();
    { std::ofstream(book) << "precious"; }
    const std::string symlink = (Dir.Path() / "link.SQL").string();
    const std::string hardlink = (Dir.Path() / "hard.SQL").string();
    std::filesystem::create_symlink(book, symlink);
    std::filesystem::create_hard_link(book, hardlink);
    Form.filename = book;
    for (const std::string& dump : {book, symlink, hardlink}) {
        SCOPED_TRACE(dump);
        const auto e = test::ExpectError<EFCreateError>([&] { Funcs.dump_file(dump, Form); });
        ASSERT_TRUE(e);
        EXPECT_EQ(e->Message(), "The dump file \"" + dump + "\" is the workbook \"" + book +
                                    "\" itself; writing it would destroy the workbook. Choose "
                                    "another name.");
        EXPECT_EQ(test::ReadFileBytes(book), "precious");
    }
    EXPECT_TRUE(Calls.empty());
}

TEST_F(DumpFixture, SkipsBlankRowsAndKeepsLineBreaksInsideValues) {
    AddSheet("Sheet1", [](TSheet& s) {
        Rows(s, {{"a", "b"}, {Variant(), ""}, {"two\nlines", true}});
        s.Touch(5, 1);
    });
    LoadAndDump(false);
    EXPECT_EQ(Written().substr(Written().find(';') + 1),
              "insert into new_table values('a','b' );insert into new_table "
              "values('two\nlines','True' );");
    EXPECT_EQ(Gauge.Events, (std::vector<std::string>{"range 0..5", "position 0", "position 1",
                                                      "process", "position 3", "process"}));
}

TEST_F(DumpFixture, CarriageReturnsNulAndCtrlZAreWrittenAsEscapes) {
    AddSheet("Sheet1", [](TSheet& s) {
        Rows(s, {{"line1\r\nline2", std::string("a\0b\x1A", 4)}});
    });
    LoadAndDump(false);
    EXPECT_EQ(Written().substr(Written().find(';') + 1),
              "insert into new_table values('line1\\r\nline2','a\\0b\\Z' );");
}

TEST_F(DumpFixture, TypedColumnsGetTheServersFormsAndNulls) {
    Funcs = myfuns(TFormatSettings("de_DE"));
    AddSheet("Sheet1", [](TSheet& s) {
        Rows(s, {{VarDate{46366.5}, 2.5, true, 2.5},
                 {Variant(), Variant(), "x", Variant()},
                 {Variant(), Variant(), Variant(), Variant()}});
    });
    ASSERT_TRUE(Funcs.load_grid(Grid, kBook, SheetList, false));
    Grid.SetCell(1, 1, "DATETIME");
    Grid.SetCell(1, 2, "decimal(12,2)");
    Grid.SetCell(1, 3, "TINYINT");
    Funcs.dump_file(File(), Form);
    EXPECT_EQ(Written().substr(Written().find(';') + 1),
              "insert into new_table values('2026-12-10 12:00:00','2.5','1','2,5' );"
              "insert into new_table values(NULL,NULL,'x','' );");
}

TEST_F(DumpFixture, AnErrorCellInATypedColumnEndsThePassAsBefore) {
    AddSheet("Sheet1", [](TSheet& s) { Rows(s, {{1.0}, {VarError{"#VALUE!"}}, {3.0}}); });
    ASSERT_TRUE(Funcs.load_grid(Grid, kBook, SheetList, false));
    Grid.SetCell(1, 1, "INT");
    auto e = test::ExpectError<EConvertError>([&] { Funcs.dump_file(File(), Form); });
    ASSERT_TRUE(e);
    EXPECT_EQ(e->Message(), "Could not convert variant of type (Error) into type (OleStr)");
    EXPECT_EQ(Written().substr(Written().find(';') + 1), "insert into new_table values('1' );");
}

TEST_F(DumpFixture, AnEmojiMakesTheTableUtf8mb4) {
    AddSheet("Sheet1", [](TSheet& s) { Rows(s, {{"Name"}, {"Ann \xF0\x9F\x98\x80"}}); });
    LoadAndDump(true);
    EXPECT_EQ(Written(), kBom + " CREATE TABLE `new_table` (   `name`  VARCHAR(255)  ) "
                                "ENGINE=MyISAM DEFAULT CHARSET=utf8mb4;insert into new_table "
                                "values('Ann \xF0\x9F\x98\x80' );");
}

TEST_F(DumpFixture, OneRowSheetWithNamesGivesTheCreateStatementOnly) {
    AddSheet("Sheet1", [](TSheet& s) { Rows(s, {{"Name"}}); });
    LoadAndDump(true);
    EXPECT_EQ(Written(), kBom + " CREATE TABLE `new_table` (   `name`  VARCHAR(255)  ) "
                                "ENGINE=MyISAM DEFAULT CHARSET=utf8;");
}

TEST_F(DumpFixture, AnErrorCellEndsThePassAfterTheRowsWrittenSoFar) {
    AddSheet("Sheet1", [](TSheet& s) { Rows(s, {{"x"}, {"y"}, {VarError{"#DIV/0!"}}, {"z"}}); });
    ASSERT_TRUE(Funcs.load_grid(Grid, kBook, SheetList, false));
    Calls.clear();
    EXPECT_THROW(Funcs.dump_file(File(), Form), EConvertError);
    const std::string written = Written();
    EXPECT_EQ(written.substr(written.find(';') + 1),
              "insert into new_table values('x' );insert into new_table values('y' );");
    EXPECT_EQ(std::count(Calls.begin(), Calls.end(), "Quit"), 0);
    EXPECT_EQ(Calls.back(), "Release");
}

// A front end tells from these where a failed pass stopped: a row that
// stores no cell is not visited, the error cell's row is the last started.
TEST_F(DumpFixture, ReportsTheTableCreatedAndEachRowStartedAndWrittenUpToAnError) {
    AddSheet("Sheet1", [](TSheet& s) { Rows(s, {{"x"}, {}, {"y"}, {VarError{"#N/A"}}, {"z"}}); });
    ASSERT_TRUE(Funcs.load_grid(Grid, kBook, SheetList, false));
    EXPECT_THROW(Funcs.dump_file(File(), Form), EConvertError);
    EXPECT_EQ(Gauge.Milestones, (std::vector<std::string>{"created", "row 1", "wrote 1", "row 3",
                                                          "wrote 3", "row 4"}));
}

TEST_F(DumpFixture, AWorkbookThatDoesNotOpenLeavesTheCreateStatementOnly) {
    AddSheet("Sheet1", [](TSheet& s) { Rows(s, {{"x"}}); });
    ASSERT_TRUE(Funcs.load_grid(Grid, kBook, SheetList, false));
    Form.filename = "/data/gone.xlsx";
    EXPECT_FALSE(Funcs.dump_file(File(), Form));
    EXPECT_EQ(Messages, std::vector<std::string>{"Cannot open the workbook \"/data/gone.xlsx\""});
    EXPECT_EQ(Written(), kBom + Funcs.get_table("new_table", "", Grid));
    EXPECT_TRUE(Gauge.Events.empty());
}

TEST_F(DumpFixture, ReplacesAnExistingFile) {
    AddSheet("Sheet1", [](TSheet& s) { Rows(s, {{"x"}}); });
    {
        std::ofstream old(File());
        old << std::string(5000, 'o');
    }
    LoadAndDump(false);
    EXPECT_EQ(Written().rfind(kBom, 0), 0u);
    EXPECT_EQ(Written().find("oooo"), std::string::npos);
}

TEST_F(DumpFixture, AnUncreatableFileRaisesTheCreationError) {
    AddSheet("Sheet1", [](TSheet& s) { Rows(s, {{"x"}}); });
    const std::string bad = (Dir.Path() / "no-such-folder" / "out.SQL").string();
    auto e = ExpectError<EFCreateError>([&] { Funcs.dump_file(bad, Form); });
    ASSERT_TRUE(e);
    EXPECT_EQ(e->Message(), "Cannot create file \"" + bad + "\". No such file or directory");
    EXPECT_TRUE(Calls.empty());
}

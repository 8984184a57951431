#include "tests/engine/PassFixture.h"
#include "tests/support/ExpectError.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
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

// The calls that read a cell, in the order made.
std::vector<std::string> CellReads(const std::vector<std::string>& calls) {
    std::vector<std::string> reads;
    std::copy_if(calls.begin(), calls.end(), std::back_inserter(reads),
                 [](const std::string& call) { return call.starts_with("Cells("); });
    return reads;
}

// The application was started hidden before the workbook opened, and at the
// end closed it without asking and was quit and let go.
void ExpectOpenedHiddenAndShutDown(const std::vector<std::string>& calls) {
    const std::vector<std::string> start = {"Create", "Visible:=False",
                                            "WorkBooks.Open(/data/book.xlsx)"};
    const std::vector<std::string> end = {"DisplayAlerts:=False", "WorkBooks.Close", "Quit",
                                          "Release"};
    ASSERT_GE(calls.size(), start.size() + end.size());
    EXPECT_EQ(std::vector<std::string>(calls.begin(), calls.begin() + start.size()), start);
    EXPECT_EQ(std::vector<std::string>(calls.end() - end.size(), calls.end()), end);
    EXPECT_EQ(std::count(calls.begin(), calls.end(), "WorkBooks.Open(/data/book.xlsx)"), 1);
    EXPECT_EQ(std::count(calls.begin(), calls.end(), "Quit"), 1);
}

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

// The names come from the first row and the scan for characters beyond
// utf8 reads stored cells only: here the one cell there is.
TEST_F(PassFixture, LoadGridReadsTheChosenSheetsStoredCellsAndShutsDown) {
    AddSheet("S", [](TSheet& s) { Rows(s, {{"Name"}}); });
    SheetList.Items.Add("S");
    SheetList.ItemIndex = 0;
    ASSERT_TRUE(Funcs.load_grid(Grid, kBook, SheetList, true));
    ExpectOpenedHiddenAndShutDown(Calls);
    EXPECT_NE(std::find(Calls.begin(), Calls.end(), "Worksheets(1).activate"), Calls.end());
    for (const std::string& read : CellReads(Calls))
        EXPECT_EQ(read, "Cells(1,1).value");
    EXPECT_EQ(Names(), std::vector<std::string>{"name"});
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

TEST_F(DumpFixture, ReadsEachCellOnceInRowOrderAndShutsDown) {
    AddSheet("Sheet1", [](TSheet& s) { Rows(s, {{"a", "b"}, {"c"}}); });
    LoadAndDump(false);
    ExpectOpenedHiddenAndShutDown(Calls);
    EXPECT_EQ(CellReads(Calls), (std::vector<std::string>{"Cells(1,1).value", "Cells(1,2).value",
                                                          "Cells(2,1).value"}));
}

// Two cells, at the sheet's first and last corner: two cells read, every
// column in the table and in both rows, and the gauge moved to the rows that
// store cells only, ending at the last.
TEST_F(DumpFixture, ASparseSheetCostsItsStoredCellsAndKeepsEveryColumn) {
    AddSheet("Sheet1", [](TSheet& s) {
        s.SetNumber(1, 1, 1);
        s.SetNumber(MaxSheetRows, MaxSheetColumns, 2);
    });
    LoadAndDump(false);
    EXPECT_EQ(CellReads(Calls).size(), 2u);
    std::string create = " CREATE TABLE `new_table` (   `column`  VARCHAR(255)  ";
    std::string blanks;
    for (int c = 1; c < MaxSheetColumns; ++c) {
        create += ",  `column_" + std::to_string(c) + "`  VARCHAR(255)  ";
        blanks += ",''";
    }
    create += ") ENGINE=MyISAM DEFAULT CHARSET=utf8;";
    EXPECT_EQ(Written(), kBom + create + "insert into new_table values('1'" + blanks + " );" +
                             "insert into new_table values(" + blanks.substr(1) + ",'2' );");
    ASSERT_FALSE(Gauge.Events.empty());
    EXPECT_EQ(Gauge.Events.front(), "range 0..1048576");
    std::vector<int> positions;
    for (const std::string& event : Gauge.Events)
        if (event.starts_with("position "))
            positions.push_back(std::stoi(event.substr(9)));
    ASSERT_FALSE(positions.empty());
    EXPECT_TRUE(std::is_sorted(positions.begin(), positions.end()));
    EXPECT_EQ(positions.back(), MaxSheetRows);
    for (const int position : positions)
        EXPECT_TRUE(position == 0 || position == 1 || position == MaxSheetRows) << position;
    std::vector<std::string> written;
    std::copy_if(Gauge.Milestones.begin(), Gauge.Milestones.end(), std::back_inserter(written),
                 [](const std::string& m) { return m.starts_with("wrote "); });
    EXPECT_EQ(written, (std::vector<std::string>{"wrote 1", "wrote 1048576"}));
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
    EXPECT_EQ(Written(), kBom + "SET NAMES utf8mb4;\n"
                                " CREATE TABLE `new_table` (   `name`  VARCHAR(255)  ) "
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
    EXPECT_EQ(Written(), kBom + " CREATE TABLE `new_table` (   `column`  VARCHAR(255)  ) "
                                "ENGINE=MyISAM DEFAULT CHARSET=utf8;");
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

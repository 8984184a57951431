#include "tests/wizard/WizardFixture.h"
#include "wizard/options_dialog.h"
#include "wizard/settings.h"

#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QStyle>
#include <QTableView>
#include <QTest>
#include <QTimer>

#include <filesystem>
#include <fstream>
#include <regex>

using namespace tabellix;
using namespace tabellix::test;

namespace {

const std::string kBook = "/data/people.xlsx";

const std::string kPeopleDump =
    " CREATE TABLE `new_table` (   `name`  VARCHAR(255)  ,  `age`  VARCHAR(255)  ) "
    "ENGINE=MyISAM DEFAULT CHARSET=utf8;insert into new_table values('Bob','42' );"
    "insert into new_table values('O\\'Brien','3.5' );";

class DumpPath : public WizardFixture {
protected:
    void SetUp() override {
        WizardFixture::SetUp();
        AddBook(kBook, {{"Notes", {{Variant("see People")}}},
                        {"People",
                         {{Variant("Name"), Variant("Age")},
                          {Variant("Bob"), Variant(42.0)},
                          {},
                          {Variant("O'Brien"), Variant(3.5)}}}});
    }
    // Steps 1 and 2 for the People sheet with its first row as names.
    void ToStepTwo() {
        ChooseBook(kBook, 1, true);
        Click("btnnext");
        ASSERT_EQ(Step(), "2");
    }
    std::string Written(const std::string& name) const { return ReadFileBytes(OutPath(name)); }
    void WriteFile(const std::string& name, const std::string& bytes) const {
        std::ofstream(OutPath(name), std::ios::binary) << bytes;
    }
};

TEST_F(DumpPath, WritesTheSheetClickByClickIntoTheChosenFile) {
    ChooseBook(kBook, 1, true);
    EXPECT_EQ(Text("filename").toStdString(), kBook);
    auto* sheets = Find<QListWidget>("sheets");
    ASSERT_EQ(sheets->count(), 2);
    EXPECT_EQ(sheets->item(0)->text(), "Notes");
    EXPECT_EQ(sheets->currentRow(), 1);

    Click("btnnext");
    EXPECT_EQ(Step(), "2");
    EXPECT_EQ(VisiblePage(), "wiz2");
    auto* grid = Find<QTableView>("grid");
    ASSERT_EQ(grid->model()->rowCount(), 2);
    EXPECT_EQ(grid->model()->index(1, 0).data().toString(), "age");
    EXPECT_EQ(grid->model()->index(1, 1).data().toString(), "VARCHAR");
    EXPECT_EQ(grid->model()->index(1, 2).data().toString(), "255");

    DumpTo("people.sql");
    EXPECT_EQ(Written("people.SQL"), kBom + kPeopleDump);
    EXPECT_EQ(Step(), "6");
    EXPECT_EQ(VisiblePage(), "wiz6");
    EXPECT_TRUE(Find("btnback")->isEnabled());
    EXPECT_FALSE(Find("btnnext")->isEnabled());
    EXPECT_EQ(Text("sql_table_name"), "new_table");
    EXPECT_EQ(Find<QProgressBar>("gauge")->value(), 4);
    EXPECT_EQ(Answers->Filters,
              (std::vector<std::string>{"MS Excel Files|*.xls;*.xlsx", "SQL files|*.SQL"}));
    EXPECT_TRUE(Answers->Messages.empty());
    EXPECT_TRUE(Answers->Errors.empty());
}

TEST_F(DumpPath, CarriesFieldEditsThePrefixAndTheFilteredTableName) {
    ToStepTwo();
    WithEditor(2, [&](QWidget&) {
        auto* type = Find<QComboBox>("ftype");
        type->lineEdit()->clear();
        QTest::keyClicks(type->lineEdit(), "INT");
        Type("fname", "Years");
        Click("btn2");
    });
    Type("sql_table_name", "My Table");
    Type("edit_prefix", "T_");
    DumpTo("edited");
    EXPECT_EQ(Written("edited.SQL"),
              kBom +
                  " CREATE TABLE `my_table` (   `t_name`  VARCHAR(255)  ,  `t_years`  INT(11)  ) "
                  "ENGINE=MyISAM DEFAULT CHARSET=utf8;insert into my_table values('Bob','42' );"
                  "insert into my_table values('O\\'Brien','3.5' );");
    EXPECT_EQ(Text("sql_table_name"), "my_table");
}

TEST_F(DumpPath, ProposeTypesTypesTheGridAndTheEditorStillChangesEveryRow) {
    ToStepTwo();
    Click("btnpropose");
    auto* grid = Find<QTableView>("grid");
    EXPECT_EQ(grid->model()->index(0, 1).data().toString(), "VARCHAR");
    EXPECT_EQ(grid->model()->index(0, 2).data().toString(), "7");
    EXPECT_EQ(grid->model()->index(1, 0).data().toString(), "age");
    EXPECT_EQ(grid->model()->index(1, 1).data().toString(), "DECIMAL(3,1)");
    EXPECT_EQ(grid->model()->index(1, 2).data().toString(), "");
    WithEditor(1, [&](QWidget&) {
        Type("fname", "Who");
        Click("btn2");
    });
    DumpTo("proposed");
    EXPECT_EQ(Written("proposed.SQL"),
              kBom + " CREATE TABLE `new_table` (   `who`  VARCHAR(7)  ,  `age`  DECIMAL(3,1)  ) "
                     "ENGINE=MyISAM DEFAULT CHARSET=utf8;insert into new_table values('Bob','42' "
                     ");insert into new_table values('O\\'Brien','3.5' );");
    EXPECT_TRUE(Answers->Messages.empty());
}

TEST_F(DumpPath, ProposeTypesNamesTheErrorCellThatKeepsAColumnText) {
    AddBook("/data/errors.xlsx",
            {{"E", {{Variant("n"), Variant("m")}, {Variant(1.0), Variant(VarError{"#N/A"})}}}});
    ChooseBook("/data/errors.xlsx", 0, true);
    Click("btnnext");
    Click("btnpropose");
    EXPECT_EQ(Answers->Messages,
              std::vector<std::string>{"Column 2 (m) holds the error #N/A in sheet row 2: it is "
                                       "proposed as text, and the conversion stops at that cell"});
    EXPECT_EQ(Find<QTableView>("grid")->model()->index(0, 1).data().toString(), "INT");
    EXPECT_EQ(Find<QTableView>("grid")->model()->index(1, 1).data().toString(), "VARCHAR");
}

TEST_F(DumpPath, EachCheckOfStepsOneAndTwoShowsItsMessageAndStays) {
    Click("btnnext");
    EXPECT_EQ(Answers->Messages, std::vector<std::string>{"Please choose an excel file!"});
    EXPECT_EQ(Step(), "1");

    Answers->Messages.clear();
    ChooseBook("/data/gone.xlsx");
    ASSERT_EQ(Answers->Errors.size(), 1u);
    EXPECT_EQ(Answers->Errors[0], "The workbook /data/gone.xlsx could not be opened.");
    EXPECT_FALSE(Find("btnnext")->isEnabled()) << "a failed listing keeps Next disabled";
    EXPECT_EQ(Text("filename"), "/data/gone.xlsx");

    ChooseBook(kBook, 1, true);
    EXPECT_TRUE(Find("btnnext")->isEnabled());
    RemoveBook(kBook);
    Click("btnnext");
    EXPECT_EQ(Answers->Messages,
              (std::vector<std::string>{"The workbook " + kBook + " could not be opened",
                                        "Could not open this File!"}));
    EXPECT_EQ(Step(), "1");
    EXPECT_EQ(VisiblePage(), "wiz1");
}

TEST_F(DumpPath, EachTableNameCheckShowsItsMessageAndFocusesTheBox) {
    ToStepTwo();
    ExpectTableNamesRefused({{"", "Please input the Mysql Table Name"},
                             {" abc", "Please input a valid Mysql Table Name"},
                             {"1abc", "Please input a valid Mysql Table Name"},
                             {"_x", "Please input a valid Mysql Table Name"}});
    EXPECT_EQ(Answers->Filters.size(), 1u) << "no save dialog for a refused name";
}

TEST_F(DumpPath, CancellingTheSaveDialogStaysOnStepTwo) {
    ToStepTwo();
    Answers->SaveAnswers.push_back(std::nullopt);
    Click("btnnext");
    EXPECT_EQ(Step(), "2");
    EXPECT_EQ(VisiblePage(), "wiz2");
    EXPECT_TRUE(std::filesystem::is_empty(Dir.Path()));
}

TEST_F(DumpPath, AnExistingFileIsReplacedOnlyAfterYes) {
    WriteFile("people.SQL", "old contents");
    ToStepTwo();
    Answers->ConfirmAnswers.push_back(false);
    DumpTo("people.SQL");
    EXPECT_EQ(Answers->Confirms, std::vector<std::string>{"The file aleady exists, overwrite it?"});
    EXPECT_EQ(Step(), "2");
    EXPECT_EQ(Written("people.SQL"), "old contents");

    Answers->ConfirmAnswers.push_back(true);
    DumpTo("people.SQL");
    EXPECT_EQ(Answers->Confirms.size(), 2u);
    EXPECT_EQ(Step(), "6");
    EXPECT_EQ(Written("people.SQL"), kBom + kPeopleDump);
}

TEST_F(DumpPath, BackFromStepSixStartsOverWithTheSameWorkbook) {
    ToStepTwo();
    DumpTo("first");
    ASSERT_EQ(Step(), "6");
    Find<QComboBox>("dblist")->addItem("left over");
    Click("btnback");
    EXPECT_EQ(Step(), "1");
    EXPECT_EQ(VisiblePage(), "wiz1");
    EXPECT_EQ(Find<QProgressBar>("gauge")->value(), 0);
    EXPECT_EQ(Find<QComboBox>("dblist")->count(), 0);
    EXPECT_FALSE(Find("btnback")->isEnabled());
    EXPECT_TRUE(Find("btnnext")->isEnabled());
    EXPECT_EQ(Text("filename").toStdString(), kBook);

    Click("btnnext");
    EXPECT_EQ(Step(), "2");
    DumpTo("second");
    EXPECT_EQ(Written("second.SQL"), kBom + kPeopleDump);
}

TEST_F(DumpPath, AWorkbookGoneBeforeTheDumpReturnsToStepTwo) {
    ToStepTwo();
    RemoveBook(kBook);
    DumpTo("gone");
    EXPECT_EQ(Answers->Messages,
              std::vector<std::string>{"The workbook " + kBook + " could not be opened"});
    EXPECT_EQ(Step(), "2");
    EXPECT_EQ(VisiblePage(), "wiz2");
    EXPECT_TRUE(Find("btnback")->isEnabled());
    EXPECT_TRUE(Find("btnnext")->isEnabled());
    const std::string written = Written("gone.SQL");
    EXPECT_EQ(written, kBom + kPeopleDump.substr(0, kPeopleDump.find(';') + 1));
}

TEST_F(DumpPath, AnErrorWhileWritingRowsStaysOnTheProgressPage) {
    AddBook(kBook, {{"Broken", {{Variant("ok")}, {Variant(VarError{"#DIV/0!"})}}}});
    ChooseBook(kBook);
    Click("btnnext");
    DumpTo("broken");
    ASSERT_EQ(Answers->Errors.size(), 1u);
    // Ends in ")", so the error box adds no full stop.
    EXPECT_EQ(Answers->Errors[0], "Could not convert variant of type (Error) into type (OleStr)");
    EXPECT_EQ(Step(), "5");
    EXPECT_EQ(VisiblePage(), "wiz5");
    EXPECT_EQ(Text("lbl5"), "The conversion stopped at sheet row 2:\nCould not convert variant of "
                            "type (Error) into type (OleStr)");
    EXPECT_FALSE(Find("btndrop")->isVisible()) << "a dump leaves no table";
    EXPECT_TRUE(Find("btnback")->isEnabled());
    EXPECT_FALSE(Find("btnnext")->isEnabled());
    EXPECT_TRUE(Find("btnclose")->isEnabled());
    EXPECT_EQ(Written("broken.SQL"),
              kBom +
                  " CREATE TABLE `new_table` (   `column`  VARCHAR(255)  ) ENGINE=MyISAM DEFAULT "
                  "CHARSET=utf8;insert into new_table values('ok' );");

    // Back to step 2 with the grid and the name as they were.
    Click("btnback");
    EXPECT_EQ(Step(), "2");
    EXPECT_EQ(VisiblePage(), "wiz2");
    EXPECT_TRUE(Find("btnnext")->isEnabled());
    EXPECT_EQ(Text("sql_table_name"), "new_table");
    AddBook(kBook, {{"Broken", {{Variant("ok")}, {Variant("fixed")}}}});
    Answers->ConfirmAnswers.push_back(true);
    DumpTo("broken");
    EXPECT_EQ(Step(), "6");
    EXPECT_EQ(Text("lbl5"), "Processing Data...\nPlease wait until the comversion completed!");
}

TEST_F(DumpPath, TheCompletionPageTellsTheRowsTheFileAndTheTimeTaken) {
    ToStepTwo();
    DumpTo("people");
    ASSERT_EQ(Step(), "6");
    const std::string line = Text("lblsummary").toStdString();
    const std::string expected = "2 rows written to " + OutPath("people.SQL") + " in ";
    EXPECT_EQ(line.substr(0, expected.size()), expected);
    EXPECT_TRUE(std::regex_match(line.substr(std::min(line.size(), expected.size())),
                                 std::regex("[0-9]+\\.[0-9] s")))
        << line;
    EXPECT_TRUE(Find("lblsummary")->isVisible());
}

TEST_F(DumpPath, ClosingDuringTheConversionTakesEffectAfterThePass) {
    AddFiveRowBook(kBook);
    ChooseBook(kBook);
    Click("btnnext");
    QWidget& window = *Forms.Form4;
    DuringThePass([&] {
        EXPECT_FALSE(Find("btnnext")->isEnabled());
        EXPECT_FALSE(Find("btnback")->isEnabled());
        Click("btnclose");
        EXPECT_FALSE(window.close()) << "the close box waits too";
        EXPECT_TRUE(window.isVisible());
    });
    DumpTo("rows");
    ASSERT_TRUE(CheckedDuringPass);
    EXPECT_EQ(Written("rows.SQL"),
              kBom +
                  " CREATE TABLE `new_table` (   `column`  VARCHAR(255)  ) ENGINE=MyISAM DEFAULT "
                  "CHARSET=utf8;insert into new_table values('row 1' );insert into new_table "
                  "values('row 2' );insert into new_table values('row 3' );insert into "
                  "new_table values('row 4' );insert into new_table values('row 5' );");
    EXPECT_EQ(Step(), "6");
    EXPECT_TRUE(QTest::qWaitFor([&] { return !window.isVisible(); }));
}

TEST_F(DumpPath, TheServerPathStopsAtTheConnectCheckWithoutADatabase) {
    ChooseBook(kBook, 1, true);
    QTest::mouseClick(Find("rb_server"), Qt::LeftButton);
    Click("btnnext");
    Click("btnnext");
    EXPECT_EQ(Step(), "4");
    EXPECT_EQ(VisiblePage(), "wiz4");
    Type("sql_table_name", "My Table");
    Click("btnnext");
    EXPECT_EQ(Answers->Messages,
              std::vector<std::string>{
                  "Please Press the button \"Connect\", and choose one Database from the list "});
    EXPECT_EQ(Step(), "4");
    EXPECT_EQ(Text("sql_table_name"), "my_table");
    Click("btnback");
    EXPECT_EQ(Step(), "2");
}

TEST(ErrorBox, AppendsAFullStopAfterACharacterAboveIt) {
    const struct {
        const char* message;
        const char* shown;
    } cases[] = {
        {"abc", "abc."},  {"code 7", "code 7."}, {"(x)", "(x)"}, {"done!", "done!"},
        {"end.", "end."}, {"a/", "a/."},         {"", ""},       {"caf\xC3\xA9", "caf\xC3\xA9."},
        {"two-", "two-"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message);
        EXPECT_EQ(ErrorBoxText(c.message), c.shown);
    }
}

} // namespace

TEST_F(DumpPath, ADumpFileThatIsTheWorkbookIsRefusedOnStepTwo) {
    const std::string book = OutPath("book.SQL");
    WriteFile("book.SQL", "precious");
    AddBook(book, {{"People", {{Variant("Name")}, {Variant("Bob")}}}});
    ChooseBook(book, 0, true);
    Click("btnnext");
    ASSERT_EQ(Step(), "2");
    Answers->ConfirmAnswers.push_back(true);
    DumpTo("book.SQL");
    EXPECT_EQ(Answers->Messages,
              std::vector<std::string>{"The dump file \"" + book + "\" is the workbook \"" + book +
                                       "\" itself; writing it would destroy the workbook. Choose "
                                       "another name."});
    EXPECT_EQ(Step(), "2");
    EXPECT_EQ(Written("book.SQL"), "precious");
}

TEST_F(DumpPath, OptionsAreRememberedAndShapeTheTable) {
    SaveTableOptions({});
    WithOptions([](QDialog& dialog) {
        auto* engine = dialog.findChild<QComboBox*>("engine");
        auto* charset = dialog.findChild<QComboBox*>("charset");
        // Defaults: no engine chosen, automatic character set, no key.
        EXPECT_EQ(engine->currentText(), "");
        EXPECT_EQ(charset->currentText(), "Automatic");
        EXPECT_EQ(dialog.findChild<QSpinBox*>("primarykey")->value(), 0);
        engine->setCurrentText("InnoDB");
        charset->setCurrentIndex(2);
        dialog.findChild<QSpinBox*>("primarykey")->setValue(1);
    });
    const TTableOptions saved = LoadTableOptions();
    EXPECT_EQ(saved.Engine, "InnoDB");
    EXPECT_EQ(saved.Charset, TCharsetChoice::Utf8mb4);
    EXPECT_EQ(saved.PrimaryKey, 0) << "the key row serves this run only";
    ToStepTwo();
    DumpTo("options");
    const std::string written = Written("options.SQL");
    EXPECT_EQ(written.substr(0, written.find(';', written.find("CREATE")) + 1),
              kBom + "SET NAMES utf8mb4;\n CREATE TABLE `new_table` (   `name`  VARCHAR(255)  ,  "
                     "`age`  VARCHAR(255)  "
                     ",  PRIMARY KEY (`name`)  ) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4;");
    SaveTableOptions({});
}

#include "engine/grid.h"
#include "tests/cli/PeopleBook.h"
#include "tests/support/TestEnv.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <sys/mount.h>

using namespace tabellix;

namespace {

const std::string& kBook = test::kPeopleBook;

// Options given to `dump`, and what the run shows: with status 0 the CREATE
// TABLE text holds the fragment, otherwise the error line does.
struct OptionCase {
    std::vector<std::string> options;
    std::string fragment;
    int status;
};

// Runs `dump` against the people workbook.
class DumpCommand : public test::PeopleBookTest {
protected:
    int Run(std::vector<std::string> extra, const std::string& book = kBook) {
        cli::TArgs args{book, "-o", Out()};
        args.insert(args.end(), extra.begin(), extra.end());
        return RunCommand(cli::RunDump, args);
    }
    std::string Out() const { return (Dir.Path() / "people").string(); }
    std::string Written() const { return test::ReadFileBytes(Out() + ".SQL"); }
    std::string Create() const {
        // After the byte-order mark, and the SET NAMES of a utf8mb4 table.
        const std::string w = Written();
        const size_t start = w.find(" CREATE TABLE");
        return start == std::string::npos ? w : w.substr(start, w.find(';', start) - start + 1);
    }
    // Runs with `extra` and checks what the case expects.
    void ExpectCreateOrError(const std::vector<std::string>& extra, const OptionCase& c) {
        ASSERT_EQ(Run(extra), c.status) << Err.str();
        if (c.status == 0)
            EXPECT_NE(Create().find(c.fragment), std::string::npos) << Create();
        else
            EXPECT_NE(Err.str().find(c.fragment), std::string::npos) << Err.str();
    }

    test::TempDir Dir;
};

} // namespace

TEST_F(DumpCommand, WritesTheSettledFileAndNamesIt) {
    ASSERT_EQ(Run({"--first-row-names", "--table", "My Table"}), 0) << Err.str();
    EXPECT_EQ(Output.str(), Out() + ".SQL\n");
    EXPECT_EQ(Written(), "\xEF\xBB\xBF CREATE TABLE `my_table` (   `name`  VARCHAR(255)  ,  `qty`  "
                         "VARCHAR(255)  ) ENGINE=MyISAM DEFAULT CHARSET=utf8;insert into my_table "
                         "values('Bob','42' );");
}

TEST_F(DumpCommand, BatchWritesMultiRowInsertsAfterTheStrictSessionStatement) {
    for (const std::vector<std::string>& batch :
         {std::vector<std::string>{"--batch"}, std::vector<std::string>{"--batch", "5"}}) {
        SCOPED_TRACE(batch.size());
        std::vector<std::string> args = batch;
        args.insert(args.end(), {"--force", "--table", "t"});
        ASSERT_EQ(Run(args), 0) << Err.str();
        EXPECT_EQ(
            Written(),
            "\xEF\xBB\xBFSET SESSION sql_mode = CONCAT_WS(',', NULLIF(TRIM(BOTH ',' FROM "
            "REPLACE(CONCAT(',', @@sql_mode, ','), ',NO_BACKSLASH_ESCAPES,', ',')), ''), "
            "'STRICT_ALL_TABLES');\n CREATE TABLE `t` (   `column`  VARCHAR(255)  ,  `column_1`  "
            "VARCHAR(255)  ) ENGINE=MyISAM DEFAULT CHARSET=utf8;\ninsert into t "
            "values('Name','Qty'),('Bob','42');");
    }
    EXPECT_EQ(Run({"--batch", "0"}), 1);
    EXPECT_EQ(Err.str(), "--batch wants a row count from 1, not \"0\"");
}

TEST_F(DumpCommand, ColumnEditsFollowTheFieldEditor) {
    // Each option a --column value.
    const OptionCase cases[] = {
        {{"2:qty:INT"}, "`qty`  INT(11)", 0},
        {{"2:qty:DECIMAL"}, "`qty`  DECIMAL  )", 0},
        {{"2:qty:CHAR:8"}, "`qty`  CHAR(8)", 0},
        // Any type text, kept as typed; only the exact list names have a
        // default length.
        {{"2:qty:text"}, "`qty`  text  )", 0},
        {{"2:qty:int:"}, "`qty`  int  )", 0},
        {{"2:qty:DECIMAL(12,2)"}, "`qty`  DECIMAL(12,2)  )", 0},
        {{"2:qty:INT UNSIGNED"}, "`qty`  INT UNSIGNED  )", 0},
        {{"2:x:BLOB"}, "`x`  BLOB  )", 0},
        {{"2:qty:int:11"}, "type int takes no length", 1},
        {{"2:qty:"}, "--column 2:qty:: the type is empty", 1},
        {{"2:qty:DATE:10"}, "type DATE takes no length", 1},
        // The field editor's own checks are the engine's: the option shows
        // their message after its own text, and a given empty length stands.
        {{"1:who:VARCHAR", "2:who:INT"}, "--column 2:who:INT: Field name already exists!", 1},
        {{"2:qty:VARCHAR:"}, "--column 2:qty:VARCHAR:: Please input field Length!", 1},
        {{"3:x:INT"}, "the grid has rows 1 to 2", 1},
        {{"2:x"}, "--column wants I:NAME:TYPE[:LENGTH]", 1},
    };
    for (const auto& c : cases) {
        std::vector<std::string> extra{"--force"};
        for (const auto& column : c.options) {
            extra.push_back("--column");
            extra.push_back(column);
        }
        SCOPED_TRACE(extra.back());
        ExpectCreateOrError(extra, c);
    }
}

TEST_F(DumpCommand, DashWritesTheSameBytesToTheOutputAndNoFile) {
    ASSERT_EQ(Run({"--first-row-names"}), 0) << Err.str();
    const std::string file = Written();
    ASSERT_EQ(RunCommand(cli::RunDump, {kBook, "--first-row-names", "-o", "-"}), 0) << Err.str();
    EXPECT_EQ(Output.str(), file);
    EXPECT_FALSE(std::filesystem::exists("-.SQL"));
}

TEST_F(DumpCommand, TableOptionsShapeTheCreateStatement) {
    const OptionCase cases[] = {
        {{"--engine", "InnoDB"}, ") ENGINE=InnoDB DEFAULT CHARSET=utf8;", 0},
        {{"--charset", "UTF8MB4"}, ") ENGINE=MyISAM DEFAULT CHARSET=utf8mb4;", 0},
        {{"--charset", "auto"}, ") ENGINE=MyISAM DEFAULT CHARSET=utf8;", 0},
        {{"--primary-key", "1", "--prefix", "t_"},
         "`t_qty`  VARCHAR(255)  ,  PRIMARY KEY (`t_name`)  ) ENGINE=MyISAM",
         0},
        {{"--engine", "InnoDB; DROP"}, "may hold letters, digits and _ only", 1},
        {{"--charset", "latin1"}, "--charset wants auto, utf8 or utf8mb4", 1},
        {{"--primary-key", "0"}, "--primary-key wants a grid row from 1", 1},
        {{"--primary-key", "3"}, "The primary key must be a row of the grid, 1 to 2", 1},
    };
    for (const auto& c : cases) {
        std::vector<std::string> extra{"--force", "--first-row-names"};
        extra.insert(extra.end(), c.options.begin(), c.options.end());
        SCOPED_TRACE(c.options[1]);
        ExpectCreateOrError(extra, c);
    }
}

TEST_F(DumpCommand, TableNameChecksComeBeforeTheFileIsTouched) {
    EXPECT_EQ(Run({"--table", " abc"}), 1);
    EXPECT_EQ(Err.str(), "Please input a valid Mysql Table Name");
    EXPECT_EQ(Run({"--table", ""}), 1);
    EXPECT_EQ(Err.str(), "Please input the Mysql Table Name");
    EXPECT_FALSE(std::filesystem::exists(Out() + ".SQL"));
}

TEST_F(DumpCommand, AnExistingFileIsReplacedOnlyWithForce) {
    std::ofstream(Out() + ".SQL") << "keep me";
    EXPECT_EQ(Run({}), 1);
    EXPECT_NE(Err.str().find("--force"), std::string::npos);
    EXPECT_EQ(Written(), "keep me");
    EXPECT_EQ(Run({"--force"}), 0);
    EXPECT_EQ(Written().substr(0, 4), "\xEF\xBB\xBF ");
}

TEST_F(DumpCommand, FailuresExitWithOne) {
    EXPECT_EQ(Run({}, "/data/other.xlsx"), 1);
    EXPECT_EQ(Err.str(), "Cannot open the workbook \"/data/other.xlsx\"");
    EXPECT_EQ(Run({"--sheet", "3"}), 1);
    EXPECT_EQ(Err.str(), "the workbook has 2 worksheet(s), not 3");
    EXPECT_EQ(Run({"--sheet", "0"}), 1);
    EXPECT_EQ(Run({"--bogus"}), 1);
    EXPECT_EQ(Err.str(), "unknown option --bogus");
}

// The workbook as a real file, whatever its content: the factory serves the
// people workbook for any name.
class DumpOverWorkbook : public DumpCommand {
protected:
    void SetUp() override {
        DumpCommand::SetUp();
        std::ofstream(Book) << "precious";
        SetAutomationFactory([] {
            return std::make_unique<TWorkbookApplication>([](const std::string&) {
                auto book = std::make_unique<TWorkbook>();
                book->AddSheet("People").SetText(1, 1, "Bob");
                return book;
            });
        });
    }
    const std::string Book = (Dir.Path() / "same.SQL").string();
};

TEST_F(DumpOverWorkbook, IsRefusedThroughAPathASymlinkAndAHardLink) {
    const std::string symlink = (Dir.Path() / "link").string();
    const std::string hardlink = (Dir.Path() / "hard").string();
    std::filesystem::create_symlink(Book, symlink + ".SQL");
    std::filesystem::create_hard_link(Book, hardlink + ".SQL");
    for (const std::string& out : {Book, symlink, hardlink}) {
        SCOPED_TRACE(out);
        EXPECT_EQ(RunCommand(cli::RunDump, {Book, "-o", out, "--force"}), 1);
        EXPECT_EQ(Err.str(), "The dump file \"" + out + (out == Book ? "" : ".SQL") +
                                 "\" is the workbook \"" + Book +
                                 "\" itself; writing it would destroy the workbook. Choose "
                                 "another name.");
        EXPECT_EQ(test::ReadFileBytes(Book), "precious");
    }
}

TEST_F(DumpOverWorkbook, AGridWiderThanATableGetsAWarningFirst) {
    SetAutomationFactory([] {
        return std::make_unique<TWorkbookApplication>([](const std::string&) {
            auto book = std::make_unique<TWorkbook>();
            book->AddSheet("Wide").SetText(1, MaxTableColumns + 1, "far");
            return book;
        });
    });
    ASSERT_EQ(Run({}, Book), 0) << Err.str();
    EXPECT_EQ(Err.str(),
              "warning: the sheet has 4097 columns; a MySQL or MariaDB table takes at most 4096\n");
    EXPECT_NE(Written().find("values('',"), std::string::npos);
}

// A file system with room for the old dump but not for the new one: the
// write fails, the old dump stays and no temporary file is left.
TEST_F(DumpCommand, AFullFileSystemLeavesTheOldDumpAndNoTemporaryFile) {
    const std::filesystem::path small = Dir.Path() / "small";
    std::filesystem::create_directory(small);
    if (mount("tmpfs", small.c_str(), "tmpfs", 0, "size=64k") != 0)
        TABELLIX_MISSING("A small tmpfs (mount, as root)");
    const struct Unmount {
        std::filesystem::path Path;
        ~Unmount() { umount2(Path.c_str(), MNT_DETACH); }
    } unmount{small};
    std::ofstream(small / "people.SQL") << "the good dump";
    SetAutomationFactory([] {
        return std::make_unique<TWorkbookApplication>([](const std::string&) {
            auto book = std::make_unique<TWorkbook>();
            TSheet& sheet = book->AddSheet("Many");
            for (int r = 1; r <= 2000; ++r)
                sheet.SetText(r, 1, std::string(100, 'x'));
            return book;
        });
    });
    EXPECT_EQ(RunCommand(cli::RunDump, {kBook, "-o", (small / "people").string(), "--force"}), 1);
    EXPECT_EQ(Err.str(), "Cannot write to file \"" + (small / "people.SQL").string() +
                             "\". No space left on device");
    EXPECT_EQ(test::ReadFileBytes(small / "people.SQL"), "the good dump");
    std::vector<std::string> left;
    for (const auto& entry : std::filesystem::directory_iterator(small))
        left.push_back(entry.path().filename().string());
    EXPECT_EQ(left, std::vector<std::string>{"people.SQL"});
}

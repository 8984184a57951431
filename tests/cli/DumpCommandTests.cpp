#include "tests/cli/PeopleBook.h"
#include "tests/support/TestEnv.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

using namespace tabellix;

namespace {

const std::string& kBook = test::kPeopleBook;

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
        const std::string w = Written();
        return w.substr(3, w.find(';') - 2);
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

TEST_F(DumpCommand, ColumnEditsFollowTheFieldEditor) {
    struct Case {
        std::vector<std::string> columns;
        std::string fragment; // expected in the CREATE TABLE text, or in the error
        int status;
    } cases[] = {
        {{"2:qty:INT"}, "`qty`  INT(11)", 0},
        {{"2:qty:int:"}, "`qty`  INT  )", 0},
        {{"2:qty:DECIMAL"}, "`qty`  DECIMAL  )", 0},
        {{"2:qty:CHAR:8"}, "`qty`  CHAR(8)", 0},
        {{"1:who:VARCHAR", "2:who:INT"}, "--column 2:who:INT: Field name already exists!", 1},
        {{"2:qty:DATE:10"}, "type DATE takes no length", 1},
        {{"2:qty:VARCHAR:"}, "Please input field Length!", 1},
        {{"2:qty:VARCHAR:0"}, "Please input a valid field Length!", 1},
        {{"2:9qty:INT"}, "Please input a valid Field Name!", 1},
        {{"3:x:INT"}, "the grid has rows 1 to 2", 1},
        {{"2:x:BLOB"}, "unknown type BLOB", 1},
        {{"2:x"}, "--column wants I:NAME:TYPE[:LENGTH]", 1},
    };
    for (const auto& c : cases) {
        std::vector<std::string> extra{"--force"};
        for (const auto& column : c.columns) {
            extra.push_back("--column");
            extra.push_back(column);
        }
        SCOPED_TRACE(extra.back());
        ASSERT_EQ(Run(extra), c.status) << Err.str();
        if (c.status == 0)
            EXPECT_NE(Create().find(c.fragment), std::string::npos) << Create();
        else
            EXPECT_NE(Err.str().find(c.fragment), std::string::npos) << Err.str();
    }
}

TEST_F(DumpCommand, TableOptionsShapeTheCreateStatement) {
    struct Case {
        std::vector<std::string> options;
        std::string fragment; // expected in the CREATE TABLE text, or in the error
        int status;
    } cases[] = {
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
        ASSERT_EQ(Run(extra), c.status) << Err.str();
        if (c.status == 0)
            EXPECT_NE(Create().find(c.fragment), std::string::npos) << Create();
        else
            EXPECT_NE(Err.str().find(c.fragment), std::string::npos) << Err.str();
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

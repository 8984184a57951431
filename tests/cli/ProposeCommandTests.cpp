// propose, and --propose-types on dump, against small workbooks on disk.
#include "cli/commands.h"
#include "tests/support/TestEnv.h"

#include <gtest/gtest.h>

#include <sstream>

namespace tabellix::cli {
namespace {

std::string Fixture(const char* name) {
    return (test::FixturesDir() / "workbooks" / name).string();
}

struct TRun {
    int status;
    std::string out;
    std::string err;
};

TRun Command(int (*command)(const TArgs&, std::ostream&, std::ostream&), const TArgs& args) {
    std::ostringstream out, err;
    try {
        const int status = command(args, out, err);
        return {status, out.str(), err.str()};
    } catch (const Exception& e) {
        return {1, out.str(), e.Message()};
    }
}

} // namespace

TEST(ProposeCommand, PrintsTheGridTypedFromTheRowsBelowTheNames) {
    const TRun run = Command(RunPropose, {Fixture("orders.xlsx"), "--first-row-names"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "{\"name\": \"id\", \"type\": \"INT\", \"length\": 11}\n"
                       "{\"name\": \"amount\", \"type\": \"DECIMAL(6,2)\", \"length\": null}\n"
                       "{\"name\": \"rate\", \"type\": \"DECIMAL(5,3)\", \"length\": null}\n"
                       "{\"name\": \"paid\", \"type\": \"TINYINT(1)\", \"length\": null}\n"
                       "{\"name\": \"day\", \"type\": \"DATE\", \"length\": null}\n"
                       "{\"name\": \"taken_at\", \"type\": \"DATETIME\", \"length\": null}\n"
                       "{\"name\": \"start\", \"type\": \"TIME\", \"length\": null}\n"
                       "{\"name\": \"customer\", \"type\": \"VARCHAR\", \"length\": 9}\n"
                       "{\"name\": \"code\", \"type\": \"VARCHAR\", \"length\": 10}\n");
    EXPECT_EQ(run.err, "");
}

TEST(ProposeCommand, TakesTheNamesRowAsDataWithoutTheOption) {
    const TRun run = Command(RunPropose, {Fixture("orders.xlsx")});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out.substr(0, run.out.find('\n')),
              "{\"name\": \"column\", \"type\": \"VARCHAR\", \"length\": 2}");
}

TEST(ProposeCommand, WarnsOfEachColumnAnErrorCellLeavesAsText) {
    const TRun run = Command(RunPropose, {Fixture("kinds.xlsx"), "--sheet", "1"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "warning: Column 2 (column_1) holds the error #DIV/0! in sheet row 4: it is "
                       "proposed as text, and the conversion stops at that cell\n"
                       "warning: Column 3 (column_2) holds the error #N/A in sheet row 7: it is "
                       "proposed as text, and the conversion stops at that cell\n");
}

TEST(ProposeCommand, RefusesWhatItDoesNotTake) {
    const struct {
        TArgs args;
        const char* error;
    } cases[] = {
        {{}, "propose needs a workbook: propose FILE"},
        {{Fixture("orders.xlsx"), "--table", "t"}, "unknown option --table"},
        {{Fixture("orders.xlsx"), "more.xlsx"}, "unexpected argument \"more.xlsx\""},
        {{Fixture("orders.xlsx"), "--sheet", "2"}, "the workbook has 1 worksheet(s), not 2"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.error);
        const TRun run = Command(RunPropose, c.args);
        EXPECT_EQ(run.status, 1);
        EXPECT_NE(run.err.find(c.error), std::string::npos) << run.err;
    }
}

TEST(DumpProposeTypes, ColumnEditsApplyOnTopOfTheProposal) {
    const TRun run = Command(RunDump, {Fixture("orders.xlsx"), "-o", "-", "--first-row-names",
                                       "--propose-types", "--column", "9:code:CHAR:12"});
    ASSERT_EQ(run.status, 0) << run.err;
    const std::string create = run.out.substr(3, run.out.find(';') - 2);
    EXPECT_EQ(create, " CREATE TABLE `new_table` (   `id`  INT(11)  ,  `amount`  DECIMAL(6,2)  ,  "
                      "`rate`  DECIMAL(5,3)  ,  `paid`  TINYINT(1)  ,  `day`  DATE  ,  `taken_at`  "
                      "DATETIME  ,  `start`  TIME  ,  `customer`  VARCHAR(9)  ,  `code`  CHAR(12)  "
                      ") ENGINE=MyISAM DEFAULT CHARSET=utf8;");
    EXPECT_NE(run.out.find("insert into new_table values('1','1234.5','0.25','1','2026-12-10',"
                           "'2026-12-10 12:00:00','09:00:00','Ann','3000000000' );"),
              std::string::npos)
        << run.out;
}

} // namespace tabellix::cli

#include "base/Exception.h"
#include "engine/funcs.h"
#include "engine/statements.h"
#include "tests/support/ExpectError.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace tabellix;

namespace {

struct Row {
    std::string name, type, length;
};

TStringGrid GridOf(const std::vector<Row>& rows) {
    TStringGrid grid = MakeColumnGrid();
    grid.SetRowCount(static_cast<int>(rows.size()) + 1);
    int r = 1;
    for (const auto& row : rows) {
        grid.SetCell(0, r, row.name);
        grid.SetCell(1, r, row.type);
        grid.SetCell(2, r, row.length);
        ++r;
    }
    return grid;
}

} // namespace

TEST(StatementText, CreateTable) {
    const std::vector<Row> people = {
        {"name", "VARCHAR", "255"}, {"age", "INT", "11"}, {"born", "DATE", ""}};
    const struct {
        const char* name;
        std::string table;
        std::string prefix;
        std::vector<Row> rows;
        std::string sql;
    } cases[] = {
        {"lengths and a bare type", "new_table", "", people,
         " CREATE TABLE `new_table` (   `name`  VARCHAR(255)  ,  `age`  INT(11)  ,  `born`  "
         "DATE  ) ENGINE=MyISAM DEFAULT CHARSET=utf8;"},
        {"one column",
         "t",
         "",
         {{"a", "VARCHAR", "255"}},
         " CREATE TABLE `t` (   `a`  VARCHAR(255)  ) ENGINE=MyISAM DEFAULT CHARSET=utf8;"},
        {"prefix on every name", "new_table", "t_", people,
         " CREATE TABLE `new_table` (   `t_name`  VARCHAR(255)  ,  `t_age`  INT(11)  ,  "
         "`t_born`  DATE  ) ENGINE=MyISAM DEFAULT CHARSET=utf8;"},
        {"prefix filtered, kept off an invalid name",
         "t",
         "My Pre-",
         {{"_x", "CHAR", "2"}, {"y", "CHAR", "2"}},
         " CREATE TABLE `t` (   `_x`  CHAR(2)  ,  `my_prey`  CHAR(2)  ) ENGINE=MyISAM "
         "DEFAULT CHARSET=utf8;"},
        {"only the exact length types take the length",
         "t",
         "",
         {{"a", "TINYINT", "4"}, {"b", "varchar", "255"}, {"c", "CHAR", "10"}},
         " CREATE TABLE `t` (   `a`  TINYINT  ,  `b`  varchar  ,  `c`  CHAR(10)  ) "
         "ENGINE=MyISAM DEFAULT CHARSET=utf8;"},
        {"a length type with an empty length is written bare",
         "t",
         "",
         {{"a", "INT", ""}, {"b", "VARCHAR", "8"}},
         " CREATE TABLE `t` (   `a`  INT  ,  `b`  VARCHAR(8)  ) ENGINE=MyISAM DEFAULT "
         "CHARSET=utf8;"},
    };
    myfuns f;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(f.get_table(c.table, c.prefix, GridOf(c.rows)), c.sql);
    }
}

TEST(StatementText, InsertStatement) {
    myfuns f;
    EXPECT_EQ(f.get_insert("new_table", {"O'Brien", "42"}),
              "insert into new_table values('O\\'Brien','42' );");
    EXPECT_EQ(f.get_insert("t", {"", "", "x"}), "insert into t values('','','x' );");
    EXPECT_EQ(f.get_insert("t", {"line\nbreak \"q\""}),
              "insert into t values('line\nbreak \"q\"' );");
}

TEST(StatementText, ReservedTableNamesAreQuotedInInserts) {
    myfuns f;
    for (const char* word : {"order", "group", "table", "select", "key", "values", "ORDER", "Group",
                             "accessible", "zerofill", "MASTER_SSL_VERIFY_SERVER_CERT"}) {
        SCOPED_TRACE(word);
        EXPECT_EQ(f.get_insert(word, {"1"}),
                  "insert into `" + std::string(word) + "` values('1' );");
    }
    for (const char* plain : {"orders", "new_table", "data", "name", "ORDERS", "accessibl",
                              "zerofills", "ord\xc3\xa9r", "_order", "2019"}) {
        SCOPED_TRACE(plain);
        EXPECT_EQ(f.get_insert(plain, {"1"}),
                  "insert into " + std::string(plain) + " values('1' );");
    }
}

TEST(StatementText, NamesAreQuotedWithEachBacktickDoubled) {
    const struct {
        std::string name;
        std::string quoted;
    } cases[] = {
        {"new_table", "`new_table`"},
        {"", "``"},
        {"a`b", "`a``b`"},
        {"`", "````"},
        {"``", "``````"},
        {"`edge`", "```edge```"},
        {"two words", "`two words`"},
        {"ord\xc3\xa9r", "`ord\xc3\xa9r`"},
        {"x'y\"z\\", "`x'y\"z\\`"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(quote_name(c.name), c.quoted);
    }
    // Every name the statements quote goes through the same rule.
    TStringGrid grid = GridOf({{"a`b", "INT", "11"}, {"c", "VARCHAR", "5"}});
    TTableOptions options;
    options.PrimaryKey = 1;
    EXPECT_EQ(get_table("t`1", "", grid, options),
              " CREATE TABLE `t``1` (   `a``b`  INT(11)  ,  `c`  VARCHAR(5)  ,  PRIMARY KEY "
              "(`a``b`)  ) ENGINE=MyISAM DEFAULT CHARSET=utf8;");
}

TEST(StatementText, Escaping) {
    myfuns f;
    struct Case {
        std::string in;
        std::string out;
    } cases[] = {
        {"a\\'b", "a\\\\\\'b"},
        {"C:\\temp", "C:\\\\temp"},
        {"plain \"text\"\t\n", "plain \"text\"\t\n"},
        // CR, NUL and Ctrl-Z as letters, so a client reading the dump keeps them.
        {"line1\r\nline2", "line1\\r\nline2"},
        {std::string("nul\0byte", 8), "nul\\0byte"},
        {"end\x1A", "end\\Z"},
        {std::string("\r\0\x1A\\'", 5), "\\r\\0\\Z\\\\\\'"},
        {"", ""},
        {"'", "\\'"},
        {"\\", "\\\\"},
        {"'start and end\\", "\\'start and end\\\\"},
        {"''\\\\", "\\'\\'\\\\\\\\"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.in);
        EXPECT_EQ(f.mysql_escap(c.in), c.out);
        // The statement holds each value escaped the same way.
        EXPECT_EQ(f.get_insert("t", {c.in, c.in}),
                  "insert into t values('" + c.out + "','" + c.out + "' );");
    }
}

TEST(StatementText, CellTextRule) {
    myfuns point(TFormatSettings("en_US"));
    myfuns comma(TFormatSettings("de_DE"));
    struct Case {
        const char* name;
        Variant value;
        const char* point;
        const char* comma;
    } cases[] = {
        {"empty", Variant(), "", ""},
        {"text", Variant("O'Brien"), "O'Brien", "O'Brien"},
        {"whole number", Variant(3.0), "3", "3"},
        {"fraction", Variant(2.5), "2.5", "2,5"},
        {"sum of doubles", Variant(0.1 + 0.2), "0.3", "0,3"},
        {"fifteen digits", Variant(123456789012345.0), "123456789012345", "123456789012345"},
        {"ten to the sixteen", Variant(1e16), "1E16", "1E16"},
        {"small", Variant(0.00005), "5E-5", "5E-5"},
        {"smallest fixed", Variant(0.0001), "0.0001", "0,0001"},
        {"negative", Variant(-42.25), "-42.25", "-42,25"},
        {"negative small", Variant(-1.5e-7), "-1.5E-7", "-1,5E-7"},
        {"integer kind", Variant(int32_t{-7}), "-7", "-7"},
        {"true", Variant(true), "True", "True"},
        {"false", Variant(false), "False", "False"},
        {"currency", Variant(VarCurrency{12345}), "1.2345", "1,2345"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(point.cell_text(c.value), c.point);
        EXPECT_EQ(comma.cell_text(c.value), c.comma);
    }
}

TEST(StatementText, ErrorCellRaisesTheConversionError) {
    myfuns f;
    auto e = test::ExpectError<EConvertError>([&] { f.cell_text(Variant(VarError{"#N/A"})); });
    ASSERT_TRUE(e);
    EXPECT_STREQ(e->what(), "Could not convert variant of type (Error) into type (OleStr)");
}

TEST(StatementText, GridBeforeTheFirstLoad) {
    TStringGrid grid = MakeColumnGrid();
    EXPECT_EQ(grid.ColCount(), 3);
    EXPECT_EQ(grid.RowCount(), 3);
    EXPECT_EQ(grid.Cell(0, 0), "Field Name");
    EXPECT_EQ(grid.Cell(1, 0), "Field Type");
    EXPECT_EQ(grid.Cell(2, 0), "Length");
    EXPECT_EQ(grid.Cell(0, 1), "");
}

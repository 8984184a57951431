#include "tests/crbase/TestProviders.h"

#include <gtest/gtest.h>

using namespace tabellix;
using namespace tabellix::test;

namespace {

struct ScanCase {
    const char* name;
    std::string text;
    std::string output;
    std::vector<std::string> params;
};

std::vector<std::string> Names(const TParamDescs& params) {
    std::vector<std::string> names;
    for (const auto& p : params)
        names.push_back(p->Name());
    return names;
}

void ExpectScans(TCRCommand& command, const std::vector<ScanCase>& cases) {
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TParamDescs params;
        params.push_back(TParamDesc::Create()); // a stale entry the scan must clear
        EXPECT_EQ(command.ParseSQL(c.text, &params), c.output);
        EXPECT_EQ(Names(params), c.params);
    }
}

} // namespace

TEST(ParseSQL, MySQLLexerFindsMarkersOnlyOutsideStringsAndComments) {
    MyCommand command;
    ExpectScans(
        command,
        {
            {"escaped quotes stay inside their strings",
             "insert into t values('it\\'s 10:30','C:\\\\temp')",
             "insert into t values('it\\'s 10:30','C:\\\\temp')",
             {}},
            {"two named markers",
             "select * from t where a = :p1 and b = :p2",
             "select * from t where a = ? and b = ?",
             {"p1", "p2"}},
            {"number name", "values(:1)", "values(?)", {"1"}},
            {"backquoted name", "set a = :`my param`", "set a = ?", {"my param"}},
            {"at form", "call f(:@x)", "call f(?)", {"@x"}},
            {"keyword name is upper-cased", ":select, :Where", "?, ?", {"SELECT", "WHERE"}},
            {"assignment", "set x := 5", "set x := 5", {}},
            {"double colon", "a::b", "a::b", {}},
            {"blank after the colon", "a : p", "a : p", {}},
            {"block comment", "x /* :p */ y", "x /* :p */ y", {}},
            {"hash comment", "x # :p\n:q", "x # :p\n?", {"q"}},
            {"dash dash space comment", "x -- :p", "x -- :p", {}},
            {"dash dash without space is no comment", "x --:p", "x --?", {"p"}},
            {"unterminated string", "x = 'abc :p", "x = 'abc :p", {}},
            {"double quotes make a string", "x = \"a:b\"", "x = \"a:b\"", {}},
            {"colon before a string", "x = :\"a:b\"", "x = :\"a:b\"", {}},
            {"question mark without colon", "select ? from t", "select ? from t", {}},
            {"colon at the end", "a:", "a:", {}},
            {"at without a name", "a:@ b:@", "a:@ b:@", {}},
            {"comment between colon and name", ":/*c*/p", ":/*c*/p", {}},
            {"multi-byte name", "where n = :pr\xC3\xA9nom", "where n = ?", {"pr\xC3\xA9nom"}},
            {"text around markers kept",
             "select :a -- c :b\n, :c/**/",
             "select ? -- c :b\n, ?/**/",
             {"a", "c"}},
        });
}

TEST(ParseSQL, GenericLexerHasItsOwnQuotesAndComments) {
    GenericCommand command;
    ExpectScans(command,
                {
                    {"double quotes make an identifier", "x = \"a:b\"", "x = \"a:b\"", {}},
                    {"quoted identifier names a marker", "x = :\"a:b\"", "x = ?", {"a:b"}},
                    {"hash is a letter", "# :p", "# ?", {"p"}},
                    {"dash dash comment", "x -- :p", "x -- :p", {}},
                    {"dash dash without space", "x --:p", "x --:p", {}},
                    {"backslash ends nothing", "'a\\':p'", "'a\\'?'", {"p"}},
                    {"two markers", "a = :p1 and b = :p2", "a = ? and b = ?", {"p1", "p2"}},
                    {"question mark without colon", "select ?", "select ?", {}},
                });
}

TEST(ParseSQL, RecordsThePositionOfEachQuestionMark) {
    MyCommand command;
    command.SetSQL("select * from t where a = :p1 and b = :`p 2`");
    EXPECT_EQ(command.SQL(), "select * from t where a = ? and b = ?");
    ASSERT_EQ(command.positions.size(), 2u);
    for (int pos : command.positions)
        EXPECT_EQ(command.SQL()[static_cast<size_t>(pos - 1)], '?');
    EXPECT_EQ(command.positions[0], 27);
}

TEST(ParseSQL, FormFeedOutsideStringsFailsAndInsideIsOrdinary) {
    for (bool mysql : {false, true}) {
        std::unique_ptr<TCRCommand> command;
        if (mysql)
            command = std::make_unique<MyCommand>();
        else
            command = std::make_unique<GenericCommand>();
        TParamDescs params;
        try {
            command->ParseSQL("select :p\f", &params);
            ADD_FAILURE() << "no error";
        } catch (const EParserError& e) {
            EXPECT_TRUE(e.Message().starts_with("Parser: The unknown symbol '"));
            EXPECT_TRUE(e.Message().ends_with("$000C"));
        }
        EXPECT_EQ(command->ParseSQL("select ':\f' :p", &params), "select ':\f' ?");
    }
}

TEST(ParseSQL, WithoutAListMarkersAreCopiedBack) {
    MyCommand command;
    EXPECT_EQ(command.ParseSQL("a = :p and b = :@q", nullptr), "a = :p and b = :@q");
    EXPECT_TRUE(command.positions.empty());
}

#include "dataaccess/MySQLUniProvider.h"

#include "base/Exception.h"

#include <gtest/gtest.h>

using namespace tabellix;

TEST(UnifiedSql, RewritesEscapesQuotesAndComments) {
    struct Case {
        const char* in;
        const char* out;
    } cases[] = {
        {"insert into t values('a','b' );", "insert into t values('a','b' );"},
        {"select \"name\" from t", "select `name` from t"},
        {"select 1 -- note", "select 1 /* note*/"},
        {"select 1 -- a */ b", "select 1 -- a */ b"},
        {"select {fn CONCAT('a','b')}", "select CONCAT('a', 'b')"},
        {"select {fn CONCAT('a', 'b')}", "select CONCAT('a',  'b')"},
        {"select {fn USER()}, {fn CURRENT_DATE}", "select USER(), CURRENT_DATE"},
        {"select {fn DATEADD(DAY, 3, d)}", "select ( d + INTERVAL ' 3' DAY)"},
        {"select {fn concat({fn char(65)},'x')}", "select CONCAT(CHAR(65), 'x')"},
        {"select {date '2024-01-31'}", "select CAST('2024-01-31' AS DATE)"},
        {"{time '10:11:12'}{timestamp '2024-01-31 10:11:12'}",
         "CAST('10:11:12' AS TIME)CAST('2024-01-31 10:11:12' AS DATETIME)"},
        {"{if MYSQL}x{else}y{endif}", "x"},
        {"{if NONE}x{endif}", ""},
        {"{if NONE}x{else}y{endif}", "y"},
        {"{if}a{endif}", "a"},
        {"{if mysql}{if none}a{else}b{endif}{endif}", "b"},
        {"select {PROVIDER}", "select MySQL"},
        {"select {VARCHAR 20}", "select VARCHAR 20"},
        {"select {unknown}", "select "},
        {"select {fn DATEDIFF(DAY, a, b)}", "select TIMESTAMPDIFF(DAY,  a,  b)"},
        // Escaped quotes keep the whole value one string, as the server reads it.
        {"insert into t values('it\\'s \"x\" {fn CONCAT(1,2)} --&y :p' );",
         "insert into t values('it\\'s \"x\" {fn CONCAT(1,2)} --&y :p' );"},
        {"insert into t values('a\\\\','\"b\"' );", "insert into t values('a\\\\','\"b\"' );"},
        // The characters that start a rewrite at the very start or end.
        {"\"a\" from t", "`a` from t"},
        {"select \"a\"", "select `a`"},
        {"\"", "\""},
        {"-- x", "/* x*/"},
        {"select 1 --x", "select 1 /*x*/"},
        {"select 1 --", "select 1 --"},
        {"select 1 -", "select 1 -"},
        {"select 2-1", "select 2-1"},
        {"{fn USER()}", "USER()"},
        {"", ""},
    };
    TMySqlFormatter formatter;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.in);
        EXPECT_EQ(formatter.Expand(c.in), c.out);
    }
}

TEST(UnifiedSql, MalformedEscapesRaiseTheirMessages) {
    struct Case {
        const char* in;
        const char* message;
    } cases[] = {
        {"{ fn x}", "Empty macro or function name"},
        {"select {", "Empty macro or function name"},
        {"{fn(1)}", "Unexpected character"},
        {"{fn CONCAT(1,2)", "Unexpected character"},
        {"{else}", "Unexpected {else}"},
        {"{if MYSQL}a{else}b{else}c{endif}", "Unexpected {else}"},
        {"{endif}", "Unexpected {endif}"},
        {"{if MYSQL}a", "{if} statement not completed"},
        {"{fn 1}", "Empty function name"},
        {"{fn CONCAT x}", "Unexpected character"},
        {"{fn CONCAT(1,(2)}", "Invalid bracket count in function call"},
        {"{fn CONCAT(1,2,3,4)}", "Wrong argument count for function: CONCAT"},
        {"{fn LOCATE(1)}", "Wrong argument count for function: LOCATE"},
        {"{fn FOO(1)}", "Unknown function: FOO"},
        {"{date 2024-01-31}", "Invalid year-month-day string. The format is {date 'yyyy-mm-dd'}"},
        {"{time 10:11}", "Invalid hour-minute-second string. The format is {time 'hh:mm:ss'}"},
        {"{timestamp x}",
         "Invalid timestamp string. The format is {timestamp 'yyyy-mm-dd hh:mm:ss'}"},
    };
    TMySqlFormatter formatter;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.in);
        try {
            const std::string out = formatter.Expand(c.in);
            ADD_FAILURE() << "gave " << out;
        } catch (const Exception& e) {
            EXPECT_EQ(e.Message(), c.message);
        }
    }
}

TEST(UnifiedSql, UserMacrosComeBeforePredefinedOnes) {
    TMySqlFormatter formatter;
    formatter.SetUserMacros({"provider", "mine"}, {"Mine", "1"});
    EXPECT_EQ(formatter.Expand("{PROVIDER}{if MINE}y{endif}"), "Miney");
}

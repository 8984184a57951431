#include "mysql/protocol/MySqlErrorsUni.h"

#include <gtest/gtest.h>

namespace tabellix {
namespace {

TEST(MySqlErrors, ClientTextsCoverCodes2000To2047Only) {
    EXPECT_EQ(MySqlClientErrorText(2000), "Unknown MySQL error");
    EXPECT_EQ(MySqlClientErrorText(2044),
              "Can't open shared memory. Server abandoded and don't sent the answer event (%s)");
    EXPECT_EQ(MySqlClientErrorText(2047), "Invalid connection handle");
    EXPECT_EQ(MySqlClientErrorText(1999), "");
    EXPECT_EQ(MySqlClientErrorText(2048), "");
}

TEST(MySqlErrors, ConstructorsFollowTheMessageRules) {
    struct Case {
        const char* name;
        EMySqlException error;
        int code;
        std::string message;
    };
    const Case cases[] = {
        {"code alone keeps placeholders", EMySqlException(2003), 2003,
         "Can't connect to MySQL server on '%s' (%d)"},
        {"two spaces after the semicolon", EMySqlException(2014), 2014,
         "Commands out of sync;  You can't run this command now"},
        {"gone away", EMySqlException(2006), 2006, "MySQL server has gone away"},
        {"below the table", EMySqlException(1999), 1999, ""},
        {"above the table", EMySqlException(2048), 2048, ""},
        {"empty detail adds no line", EMySqlException(2013, ""), 2013,
         "Lost connection to MySQL server during query"},
        {"detail on a second line", EMySqlException(2013, "Socket error"), 2013,
         "Lost connection to MySQL server during query\r\nSocket error"},
        {"server error starts with CR LF", EMySqlException(1050, "#42S01Table exists"), 1050,
         "\r\n#42S01Table exists"},
        {"arguments filled", EMySqlException(2003, {"db.example", 10061}, "Refused"), 2003,
         "Can't connect to MySQL server on 'db.example' (10061)\r\nRefused"},
        {"protocol mismatch", EMySqlException(2007, {9, 10}, ""), 2007,
         "Protocol mismatch. Server Version = 9 Client Version = 10"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.error.ErrorCode(), c.code);
        EXPECT_EQ(c.error.Message(), c.message);
        EXPECT_EQ(c.error.ClassName(), "EMySqlException");
    }
}

} // namespace
} // namespace tabellix

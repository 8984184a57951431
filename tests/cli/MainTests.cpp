// The whole command line as main runs it: usage and help, the options every
// command answers alike, the checks made before anything is read or
// connected, and the line an error is printed as.
#include "cli/commands.h"
#include "cli/error_line.h"

#include "dataaccess/DBAccess.h"
#include "engine/strict_session.h"
#include "mysql/client/MyClassesUni.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sstream>

namespace tabellix::cli {
namespace {

using testing::HasSubstr;
using testing::Not;
using testing::StartsWith;

struct TRun {
    int status;
    std::string out;
    std::string err;
};

TRun Main(const TArgs& args) {
    std::ostringstream out, err;
    const int status = RunMain(args, out, err);
    return {status, out.str(), err.str()};
}

TEST(Main, HelpPrintsTheUsageAskedFor) {
    struct Case {
        TArgs args;
        const char* usage; // how the text starts
    } cases[] = {
        {{"--help"}, "Usage: tabellix-convert COMMAND"},
        {{"help"}, "Usage: tabellix-convert COMMAND"},
        {{"help", "transfer"}, "Usage: tabellix-convert transfer FILE"},
        {{"dump", "--help"}, "Usage: tabellix-convert dump FILE"},
        {{"dump", "book.xlsx", "-o", "out", "-h"}, "Usage: tabellix-convert dump FILE"},
        {{"transfer", "--host", "h", "--help"}, "Usage: tabellix-convert transfer FILE"},
        {{"databases", "--help"}, "Usage: tabellix-convert databases"},
        {{"inspect", "book.xlsx", "--help"}, "Usage: tabellix-convert inspect FILE"},
        {{"sheets", "--help"}, "Usage: tabellix-convert sheets FILE"},
        {{"propose", "book.xlsx", "--help"}, "Usage: tabellix-convert propose FILE"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args.back());
        const TRun run = Main(c.args);
        EXPECT_EQ(run.status, 0);
        EXPECT_THAT(run.out, StartsWith(c.usage));
        EXPECT_EQ(run.err, "");
    }
    // A command's usage lists the options it shares with others.
    EXPECT_THAT(Main({"help", "transfer"}).out, HasSubstr("--column I:NAME:TYPE[:LENGTH]"));
    EXPECT_THAT(Main({"help", "transfer"}).out, HasSubstr("--password-stdin"));
}

TEST(Main, UnknownCommandsAndOptionsExitWithOne) {
    struct Case {
        TArgs args;
        const char* err;
    } cases[] = {
        {{"help", "bogus"}, "tabellix-convert: unknown command \"bogus\"\n"},
        {{"bogus"}, "tabellix-convert: unknown command \"bogus\"\n"},
        {{"dump", "--bogus"}, "tabellix-convert: unknown option --bogus\n"},
        {{"databases", "--bogus"}, "tabellix-convert: unknown option --bogus\n"},
        {{"transfer", "--host", "h", "--port", "abc"},
         "tabellix-convert: --port wants a TCP port number from 1 to 65535, not \"abc\"\n"},
        {{"databases", "--port", "70000"},
         "tabellix-convert: --port wants a TCP port number from 1 to 65535, not \"70000\"\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.err);
        const TRun run = Main(c.args);
        EXPECT_EQ(run.status, 1);
        EXPECT_EQ(run.err, c.err);
    }
}

TEST(Main, APasswordOnTheCommandLineIsRefusedWithoutShowingIt) {
    for (const TArgs& args : std::vector<TArgs>{
             {"transfer", "--password", "s3cret"},
             {"databases", "--host", "h", "--password=s3cret"},
             {"databases", "-ps3cret"},
             {"dump", "-p", "s3cret"},
         }) {
        SCOPED_TRACE(args[1]);
        const TRun run = Main(args);
        EXPECT_EQ(run.status, 1);
        EXPECT_THAT(run.err, HasSubstr("--password-stdin"));
        EXPECT_THAT(run.err, HasSubstr("TABELLIX_PASSWORD"));
        EXPECT_THAT(run.err, Not(HasSubstr("s3cret")));
    }
}

// -O lines are checked while the command line is read: an accepted one lets
// the command go on to its next check (here the missing --host).
TEST(Main, OptionStringsAreCheckedWithTheProvidersLists) {
    for (const char* line : {"MySQL.Compress=True", "compress=true", "UseUnicode= True ",
                             "Charset= utf8", "MySQL.Charset=a.b", "Charset=a.b", "Protocol=mptcp",
                             "CommandTimeout=30", "FetchAll=False", "SSLKey="}) {
        SCOPED_TRACE(line);
        EXPECT_EQ(Main({"databases", "-O", line}).err, "tabellix-convert: --host is needed\n");
    }
    struct Case {
        const char* line;
        const char* why;
    } refused[] = {
        {"Compress", "an option string is NAME=VALUE or MySQL.NAME=VALUE"},
        {"Oracle.UseUnicode=True", "only MySQL options apply here, not Oracle ones"},
        {"UseUnicode = True", "unknown option \"UseUnicode \"; the options are "},
        {"Bogus=1", "unknown option \"Bogus\"; the options are "},
        {"UseUnicode=Yes", "Invalid value: Yes for option UseUnicode (it takes True or False)"},
        {"ConnectionTimeout=-2147483647",
         "Invalid value: -2147483647 for option ConnectionTimeout (it takes a whole number)"},
        {"MySQL.Protocol=tcp", "Invalid value: tcp for option Protocol (it takes one of "
                               "mpDefault, mpTCP, mpSocket, mpPipe, mpMemory, mpSSL, mpHttp)"},
        {"CommandTimeout=soon", "Invalid value: soon for option CommandTimeout"},
    };
    for (const auto& c : refused) {
        SCOPED_TRACE(c.line);
        const TRun run = Main({"transfer", "--host", "h", "-O", c.line});
        EXPECT_EQ(run.status, 1);
        EXPECT_THAT(run.err,
                    StartsWith("tabellix-convert: -O " + std::string(c.line) + ": " + c.why));
    }
    EXPECT_THAT(Main({"databases", "-O", "x=1"}).err, HasSubstr("Charset, Compress,"));
}

TEST(ErrorLine, DatabaseErrorsReadAsTheStockClientPrintsThem) {
    struct Case {
        const char* name;
        int code;
        const char* message;
        const char* line;
    } cases[] = {
        {"server error", 1366, "\r\n#22007Incorrect string value: '\\xF0\\x9F' for column `n`",
         "ERROR 1366 (22007): Incorrect string value: '\\xF0\\x9F' for column `n`"},
        {"server error quoting a line break", 1064,
         "\r\n#42000You have an error near 'a\r\nb' at line 1",
         "ERROR 1064 (42000): You have an error near 'a b' at line 1"},
        {"server code raised by the client", 1156,
         "\r\nReceiveHeader: Net packets out of order: received[2], expected[1]",
         "ERROR 1156 (HY000): ReceiveHeader: Net packets out of order: received[2], "
         "expected[1]"},
        {"client error", 2006, "MySQL server has gone away",
         "ERROR 2006 (HY000): MySQL server has gone away"},
        {"client error with detail", 2013,
         "Lost connection to MySQL server during query\r\nConnection reset by peer",
         "ERROR 2013 (HY000): Lost connection to MySQL server during query: Connection reset "
         "by peer"},
        {"hostile server's terminal controls", 1064,
         "\r\n#42000\x1b]0;owned\x07\x1b[2J\xc2\x9b"
         "31m\xc3\xa9",
         "ERROR 1064 (42000): \\x1b]0;owned\\x07\\x1b[2J\\xc2\\x9b"
         "31m\xc3\xa9"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const EMyError inner(c.code, c.message);
        EXPECT_EQ(ErrorLine(EUniError(inner, nullptr)), c.line);
    }
}

TEST(ErrorLine, AWarningTakenAsARefusalReadsAsTheServersError) {
    EXPECT_EQ(ErrorLine(EWarnedRow(1265, "01000", "Data truncated for column 'x' at row 1")),
              "ERROR 1265 (01000): Data truncated for column 'x' at row 1");
}

TEST(ErrorLine, OtherErrorsKeepTheirMessage) {
    EXPECT_EQ(ErrorLine(EUsageError("--host is needed")), "tabellix-convert: --host is needed");
    EXPECT_EQ(ErrorLine(EDAError("Provider is not defined")),
              "tabellix-convert: Provider is not defined");
}

} // namespace
} // namespace tabellix::cli

// The one settling of a conversion's choices both front ends call: the key
// row kept inside the grid, going on past refused rows through the loader
// with its reject file beside the workbook, and the connection's option
// lines only for choices that are not the provider's defaults.
#include "engine/conversion_settings.h"
#include "engine/funcs.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

using namespace tabellix;

namespace {

const std::string kBook = "/books/q1/sales.xlsx";
const std::string kTable = "Sales Q1!";
const std::string kRejects = "/books/q1/sales_q1-rejects.csv";

// The header row and the rows of three columns.
TStringGrid ThreeColumns() {
    TStringGrid grid = MakeColumnGrid();
    grid.SetRowCount(4);
    return grid;
}

TSettledConversion Settle(const TConversionSettings& settings,
                          TConversionTarget target = TConversionTarget::Server,
                          const std::string& workbook = kBook) {
    return settle_conversion(myfuns(), settings, target, ThreeColumns(), workbook, kTable);
}

TConversionSettings WithLoader(const TLoaderOptions& loader) {
    TConversionSettings settings;
    settings.Loader = loader;
    return settings;
}

TEST(ConversionSettings, GoingOnPastRefusedRowsTakesTheLoaderAndARejectFile) {
    const auto server = TConversionTarget::Server, dump = TConversionTarget::DumpFile;
    const struct {
        const char* name;
        TConversionTarget target;
        TLoaderOptions given;
        TLoaderOptions settled;
    } cases[] = {
        {"the default road stays", server, {}, {}},
        {"multi-row inserts without going on stay",
         server,
         {TLoadMethod::Batch, 50, false, ""},
         {TLoadMethod::Batch, 50, false, ""}},
        {"one statement per row becomes multi-row inserts",
         server,
         {TLoadMethod::PerRow, 0, true, ""},
         {TLoadMethod::Batch, 0, true, kRejects}},
        {"multi-row inserts keep their row count",
         server,
         {TLoadMethod::Batch, 50, true, ""},
         {TLoadMethod::Batch, 50, true, kRejects}},
        {"LOAD DATA stays",
         server,
         {TLoadMethod::LoadData, 0, true, ""},
         {TLoadMethod::LoadData, 0, true, kRejects}},
        {"a named reject file stays",
         server,
         {TLoadMethod::Fastest, 0, true, "/tmp/refused.csv"},
         {TLoadMethod::Fastest, 0, true, "/tmp/refused.csv"}},
        {"a dump refuses no rows",
         dump,
         {TLoadMethod::PerRow, 0, true, "/tmp/refused.csv"},
         {TLoadMethod::PerRow, 0, false, ""}},
        {"a dump keeps its batches",
         dump,
         {TLoadMethod::Batch, 50, true, ""},
         {TLoadMethod::Batch, 50, false, ""}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const TLoaderOptions loader = Settle(WithLoader(c.given), c.target).Loader;
        EXPECT_EQ(loader.Method, c.settled.Method);
        EXPECT_EQ(loader.BatchRows, c.settled.BatchRows);
        EXPECT_EQ(loader.KeepGoing, c.settled.KeepGoing);
        EXPECT_EQ(loader.RejectFile, c.settled.RejectFile);
    }
}

TEST(ConversionSettings, TheDefaultRejectFileLiesBesideTheWorkbookWhereverTheCommandRuns) {
    const TConversionSettings keepGoing = WithLoader({TLoadMethod::Batch, 0, true, ""});
    const auto server = TConversionTarget::Server;
    EXPECT_EQ(Settle(keepGoing, server, "/books/./q1/../q1/sales.xlsx").Loader.RejectFile,
              kRejects);
    EXPECT_EQ(Settle(keepGoing, server, "sales.xlsx").Loader.RejectFile,
              (std::filesystem::current_path() / "sales_q1-rejects.csv").string());
}

TEST(ConversionSettings, ANamedRejectFileWithoutGoingOnIsRefused) {
    for (const TLoadMethod method : {TLoadMethod::PerRow, TLoadMethod::Batch}) {
        SCOPED_TRACE(static_cast<int>(method));
        EXPECT_THROW(Settle(WithLoader({method, 0, false, "refused.csv"})),
                     ERejectsWithoutKeepGoing);
    }
}

// A key row chosen for another grid must not name a column this one lacks.
TEST(ConversionSettings, AKeyRowOutsideTheGridMakesNoKey) {
    const struct {
        int given;
        int settled;
    } cases[] = {{0, 0}, {1, 1}, {3, 3}, {4, 0}, {9, 0}, {-1, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.given);
        TConversionSettings settings;
        settings.Table = {"InnoDB", TCharsetChoice::Utf8mb4, c.given};
        const TTableOptions table = Settle(settings).Table;
        EXPECT_EQ(table.PrimaryKey, c.settled);
        EXPECT_EQ(table.Engine, "InnoDB");
        EXPECT_EQ(table.Charset, TCharsetChoice::Utf8mb4);
    }
}

TEST(ConversionSettings, OnlyChoicesOtherThanTheDefaultsBecomeOptionLines) {
    const struct {
        const char* name;
        TConnectionOptions connection;
        TTlsOptions tls;
        bool publicKey;
        std::vector<std::string> lines;
    } cases[] = {
        {"defaults", {}, {}, false, {}},
        {"TLS", {}, {true, ""}, false, {"MySQL.Protocol=mpSSL"}},
        {"a CA file implies TLS",
         {},
         {false, "ca.pem"},
         false,
         {"MySQL.Protocol=mpSSL", "MySQL.SSLCACert=ca.pem"}},
        {"TLS and a CA file",
         {},
         {true, "ca.pem"},
         false,
         {"MySQL.Protocol=mpSSL", "MySQL.SSLCACert=ca.pem"}},
        {"the server's public key", {}, {}, true, {"MySQL.GetServerPublicKey=True"}},
        {"the default time-out", {60, false}, {}, false, {}},
        {"no time-out", {0, false}, {}, false, {"MySQL.ReadTimeout=0"}},
        {"old passwords", {60, true}, {}, false, {"MySQL.AllowOldPasswords=True"}},
        {"all",
         {5, true},
         {true, "ca.pem"},
         true,
         {"MySQL.Protocol=mpSSL", "MySQL.SSLCACert=ca.pem", "MySQL.GetServerPublicKey=True",
          "MySQL.ReadTimeout=5", "MySQL.AllowOldPasswords=True"}},
    };
    const std::vector<std::string> prefixes = connection_line_prefixes();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TConversionSettings settings;
        settings.Connection = c.connection;
        settings.Tls = c.tls;
        settings.GetServerPublicKey = c.publicKey;
        EXPECT_EQ(connection_lines(settings), c.lines);
        EXPECT_EQ(Settle(settings).ConnectionLines, c.lines);
        // A front end replacing its own lines finds each of them.
        for (const std::string& line : c.lines)
            EXPECT_TRUE(
                std::any_of(prefixes.begin(), prefixes.end(),
                            [&line](const std::string& p) { return line.rfind(p, 0) == 0; }))
                << line;
    }
}

} // namespace

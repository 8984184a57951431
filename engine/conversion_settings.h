// One model of a conversion's choices that both front ends fill: the created
// table, how its rows are sent and how the connection is secured, waits and
// logs in; and the one function that settles them for a pass.
#pragma once

#include "base/Exception.h"
#include "engine/grid.h"
#include "engine/loader.h"
#include "engine/table_options.h"

#include <string>
#include <vector>

namespace tabellix {

class myfuns;

// The connection's waiting and login choices; the defaults are the
// provider's own, so they need no option line.
struct TConnectionOptions {
    int ReadTimeout = 60;           // seconds of silence awaiting an answer; 0: no bound
    bool AllowOldPasswords = false; // the pre-4.1 scramble, open to offline guessing
    bool operator==(const TConnectionOptions&) const = default;
};

struct TTlsOptions {
    bool Enabled = false;
    std::string CaFile; // verify the server against these certificates; implies TLS
};

struct TConversionSettings {
    TTableOptions Table;
    TLoaderOptions Loader;
    TConnectionOptions Connection;
    TTlsOptions Tls;
    bool GetServerPublicKey = false; // ask the server for its RSA key at login
};

// A reject file named for a pass that stops at the first refused row.
TABELLIX_EXCEPTION(ERejectsWithoutKeepGoing, Exception);

// The settings as one pass uses them.
struct TSettledConversion {
    TTableOptions Table;
    TLoaderOptions Loader;
    std::vector<std::string> ConnectionLines; // see connection_lines
};

// The option strings of the connection's choices, one for each choice that
// is not the provider's default, so that the default list stays as it
// always was.
std::vector<std::string> connection_lines(const TConversionSettings& settings);
// The beginnings of those lines ("MySQL.Protocol=" and the others), for a
// front end that replaces them in a list holding lines of others too.
std::vector<std::string> connection_line_prefixes();

// Where a pass writes its rows.
enum class TConversionTarget { DumpFile, Server };

// The settings for a pass over grid, read from workbook into table: a key
// row outside the grid makes no key. Going on past refused rows is for the
// server, which refuses rows: it needs the loader there, so one statement
// per row becomes multi-row inserts, and the reject file is
// "<filtered table name>-rejects.csv" beside the workbook unless one is
// named; a dump file refuses nothing, so it is dropped there. Raises
// ERejectsWithoutKeepGoing for a named reject file without going on.
TSettledConversion settle_conversion(const myfuns& funs, const TConversionSettings& settings,
                                     TConversionTarget target, const TStringGrid& grid,
                                     const std::string& workbook, const std::string& table);

} // namespace tabellix

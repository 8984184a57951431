// The command table of tabellix-convert with each command's usage, and the
// run of a whole command line.
#include "cli/commands.h"
#include "cli/error_line.h"

#include "automation/WorkbookCache.h"

#include <ostream>

namespace tabellix::cli {

namespace {

const char* const kUsage =
    "Usage: tabellix-convert COMMAND [OPTIONS]\n"
    "\n"
    "Turns one worksheet of an .xls or .xlsx workbook into a MySQL table.\n"
    "\n"
    "Commands:\n"
    "  sheets FILE                  list the worksheets, one per line\n"
    "  inspect FILE [--sheet N]     show the counts read and every non-empty cell\n"
    "  propose FILE [--sheet N] [--first-row-names]\n"
    "                               show the column types proposed from the whole sheet\n"
    "  dump FILE -o OUT [--sheet N] [--first-row-names] [--table NAME] [--prefix P]\n"
    "       [--propose-types] [--column I:NAME:TYPE[:LENGTH]]... [--force]\n"
    "       [--batch [ROWS]]\n"
    "       [--engine NAME] [--charset auto|utf8|utf8mb4] [--primary-key I]\n"
    "                               write the sheet as a .SQL dump file\n"
    "  transfer FILE --host H [--port P] --user U --database D [--password-stdin]\n"
    "       [-O OPTION]... [--batch [ROWS]] [--load-data]\n"
    "       [--keep-going [--rejects FILE] [--force]]\n"
    "       [the sheet and column options of dump]\n"
    "                               create the table on a MySQL server and insert the rows\n"
    "  databases --host H [--port P] --user U [--password-stdin] [-O OPTION]...\n"
    "                               list the server's databases\n"
    "  help [COMMAND]               show this text, or the usage of COMMAND\n"
    "\n"
    "The password comes from standard input with --password-stdin, else from the\n"
    "environment variable TABELLIX_PASSWORD, else it is empty.\n"
    "\n"
    "Options:\n"
    "  --help       show this text (after a command: that command's usage)\n"
    "  --version    show the version\n";

const char* const kSheetOptions =
    "  --sheet N                the worksheet, counted from 1 (default 1)\n"
    "  --first-row-names        name the columns from the first row, which is then not data\n"
    "  --table NAME             the table name (default New_table)\n"
    "  --prefix P               put P before every column name in CREATE TABLE\n"
    "  --propose-types          type each column from all its cells (INT, BIGINT,\n"
    "                           DECIMAL(p,s), DOUBLE, TINYINT(1), DATE, DATETIME, TIME or\n"
    "                           VARCHAR(n)/TEXT) instead of VARCHAR(255); the --column\n"
    "                           edits apply on top\n"
    "  --column I:NAME:TYPE[:LENGTH]\n"
    "                           edit grid row I as the field editor does: TYPE is any type\n"
    "                           text (INT, text, DECIMAL(12,2), INT UNSIGNED); an omitted\n"
    "                           LENGTH takes the type's default; may be repeated\n"
    "  --engine NAME            the table's storage engine (default MyISAM; InnoDB on a\n"
    "                           Galera cluster node)\n"
    "  --charset auto|utf8|utf8mb4\n"
    "                           the table's character set (auto: utf8mb4 when a cell holds\n"
    "                           a character beyond utf8, else utf8)\n"
    "  --primary-key I          grid row I becomes the table's primary key\n";

const char* const kServerOptions =
    "  --host H                 the server's host name or address\n"
    "  --port P                 its TCP port (default 3306)\n"
    "  --user U                 the user name\n"
    "  --password-stdin         read the password from standard input (a prompt without\n"
    "                           echo on a terminal); else TABELLIX_PASSWORD, else empty\n"
    "  -O OPTION                an option string NAME=VALUE or MySQL.NAME=VALUE, such as\n"
    "                           MySQL.Compress=True; may be repeated\n"
    "  --tls                    require TLS (the server's certificate checked against the\n"
    "                           system's trust store)\n"
    "  --tls-ca FILE            TLS, the certificate checked against the CA certificates\n"
    "                           in FILE\n"
    "  --get-server-public-key  allow fetching the server's RSA key over a plain link\n";

const char* const kSheetsUsage = "Usage: tabellix-convert sheets FILE\n"
                                 "\n"
                                 "Lists the worksheets of the workbook FILE, one name per line.\n";

const char* const kInspectUsage =
    "Usage: tabellix-convert inspect FILE [--sheet N]\n"
    "\n"
    "Shows what is read from worksheet N of FILE (default 1): a line with the column\n"
    "and row counts, then one JSON line per non-empty cell.\n";

const char* const kProposeUsage =
    "Usage: tabellix-convert propose FILE [--sheet N] [--first-row-names]\n"
    "\n"
    "Proposes a type for every column of worksheet N of FILE (default 1) from all its\n"
    "non-empty cells, below the first row with --first-row-names, and prints the grid:\n"
    "one JSON line per column with its name, type and length (null for none). A column\n"
    "holding an error cell stays text, and a warning on standard error names the cell.\n";

const char* const kDumpUsage =
    "Usage: tabellix-convert dump FILE -o OUT [OPTIONS]\n"
    "\n"
    "Proposes the column grid as the wizard does (every column VARCHAR(255), or typed\n"
    "from its cells with --propose-types), applies the --column edits and writes the\n"
    "sheet as a dump file: CREATE TABLE, then one insert per non-empty row. The file is\n"
    "OUT with .SQL as its suffix; its name is printed. With -o - the dump goes to\n"
    "standard output instead.\n"
    "\n"
    "Options:\n"
    "  -o, --output OUT         the dump file, or - for standard output\n"
    "  --force                  replace an existing dump file\n"
    "  --batch [ROWS]           multi-row inserts of at most ROWS rows (default: as many as\n"
    "                           fit in 256 KiB), after a statement that makes the\n"
    "                           loading session strict\n";

const char* const kTransferUsage =
    "Usage: tabellix-convert transfer FILE --host H [--port P] --user U --database D\n"
    "       [OPTIONS]\n"
    "\n"
    "Makes the wizard's checks (the table name, a table of that name already in the\n"
    "database), then creates the table on the server and inserts the sheet's rows.\n"
    "\n"
    "Options:\n"
    "  --database D             the database that receives the table\n"
    "  --batch [ROWS]           send the rows in multi-row inserts of at most ROWS rows\n"
    "                           (default: as many as fit in 256 KiB and the server's\n"
    "                           packet limit)\n"
    "  --load-data              send them by LOAD DATA LOCAL from memory (needs local_infile\n"
    "                           on the server and ENGINE=InnoDB); with --batch the fastest\n"
    "                           available: multi-row inserts where LOAD DATA cannot be used\n"
    "  --keep-going             go on past refused rows and list them in the reject file;\n"
    "                           the exit status is then 2\n"
    "  --rejects FILE           the reject file of --keep-going (default\n"
    "                           TABLE-rejects.csv beside the workbook), made at the first\n"
    "                           refused row\n"
    "  --force                  replace an existing reject file\n";

const char* const kDatabasesUsage =
    "Usage: tabellix-convert databases --host H [--port P] --user U [OPTIONS]\n"
    "\n"
    "Lists the server's databases, one per line.\n"
    "\n"
    "Options:\n";

struct TCommand {
    const char* Name;
    int (*Run)(const TArgs&, std::ostream&, std::ostream&);
    const char* Usage;
    // The shared option texts that follow the command's own.
    const char* Options[2];
};

const TCommand kCommands[] = {
    {"sheets", RunSheets, kSheetsUsage, {}},
    {"inspect", RunInspect, kInspectUsage, {}},
    {"propose", RunPropose, kProposeUsage, {}},
    {"dump", RunDump, kDumpUsage, {kSheetOptions}},
    {"transfer", RunTransfer, kTransferUsage, {kServerOptions, kSheetOptions}},
    {"databases", RunDatabases, kDatabasesUsage, {kServerOptions}},
};

void PrintUsage(const TCommand& command, std::ostream& out) {
    out << command.Usage;
    for (const char* options : command.Options)
        if (options)
            out << options;
}

const TCommand* FindCommand(const std::string& name) {
    for (const TCommand& command : kCommands)
        if (name == command.Name)
            return &command;
    return nullptr;
}

int UnknownCommand(const std::string& name, std::ostream& err) {
    err << "tabellix-convert: unknown command \"" << name << "\"\n";
    return 1;
}

int Help(const TArgs& args, std::ostream& out, std::ostream& err) {
    if (args.size() < 2) {
        out << kUsage;
        return 0;
    }
    const TCommand* command = FindCommand(args[1]);
    if (!command)
        return UnknownCommand(args[1], err);
    PrintUsage(*command, out);
    return 0;
}

int Run(const TCommand& command, const TArgs& args, std::ostream& out, std::ostream& err) {
    // One run reads each unchanged workbook once, however many passes open it.
    const TWorkbookCacheScope cache;
    try {
        return command.Run(TArgs(args.begin() + 1, args.end()), out, err);
    } catch (const EHelpAsked&) {
        PrintUsage(command, out);
        return 0;
    } catch (const std::exception& e) {
        err << ErrorLine(e) << "\n";
        return 1;
    }
}

} // namespace

int RunMain(const TArgs& args, std::ostream& out, std::ostream& err) {
    if (args.empty() || args[0] == "--help" || args[0] == "-h") {
        out << kUsage;
        return args.empty() ? 1 : 0;
    }
    if (args[0] == "--version") {
        out << "tabellix-convert " TABELLIX_VERSION "\n";
        return 0;
    }
    if (args[0] == "help")
        return Help(args, out, err);
    const TCommand* command = FindCommand(args[0]);
    return command ? Run(*command, args, out, err) : UnknownCommand(args[0], err);
}

} // namespace tabellix::cli

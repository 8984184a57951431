// tabellix-convert: the conversions of the wizard from the command line.
#include "cli/commands.h"

#include <iostream>
#include <string>
#include <vector>

namespace {

const char* const kUsage =
    "Usage: tabellix-convert COMMAND [OPTIONS]\n"
    "\n"
    "Turns one worksheet of an .xls or .xlsx workbook into a MySQL table.\n"
    "\n"
    "Commands:\n"
    "  sheets FILE                  list the worksheets, one per line\n"
    "  inspect FILE [--sheet N]     show the counts read and every non-empty cell\n"
    "  dump FILE -o OUT [--sheet N] [--first-row-names] [--table NAME] [--prefix P]\n"
    "       [--column I:NAME:TYPE[:LENGTH]]... [--force]\n"
    "                               write the sheet as a .SQL dump file\n"
    "  transfer FILE --host H [--port P] --user U --database D [--password-stdin]\n"
    "       [-O OPTION]... [the sheet and column options of dump]\n"
    "                               create the table on a MySQL server and insert the rows\n"
    "  databases --host H [--port P] --user U [--password-stdin]\n"
    "                               list the server's databases\n"
    "\n"
    "Both server commands also take --tls (require TLS), --tls-ca FILE (TLS, the\n"
    "server's certificate checked against the CA certificates in FILE) and\n"
    "--get-server-public-key (allow fetching the server's RSA key over a plain link).\n"
    "\n"
    "The password comes from standard input with --password-stdin, else from the\n"
    "environment variable TABELLIX_PASSWORD, else it is empty.\n"
    "\n"
    "Options:\n"
    "  --help       show this text\n"
    "  --version    show the version\n";

struct TCommand {
    const char* Name;
    int (*Run)(const tabellix::cli::TArgs&, std::ostream&, std::ostream&);
};

const TCommand kCommands[] = {
    {"sheets", tabellix::cli::RunSheets},       {"inspect", tabellix::cli::RunInspect},
    {"dump", tabellix::cli::RunDump},           {"transfer", tabellix::cli::RunTransfer},
    {"databases", tabellix::cli::RunDatabases},
};

} // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty() || args[0] == "--help" || args[0] == "-h") {
        std::cout << kUsage;
        return args.empty() ? 1 : 0;
    }
    if (args[0] == "--version") {
        std::cout << "tabellix-convert " TABELLIX_VERSION "\n";
        return 0;
    }
    for (const TCommand& command : kCommands) {
        if (args[0] != command.Name)
            continue;
        const tabellix::cli::TArgs rest(args.begin() + 1, args.end());
        try {
            return command.Run(rest, std::cout, std::cerr);
        } catch (const std::exception& e) {
            std::cerr << "tabellix-convert: " << e.what() << "\n";
            return 1;
        }
    }
    std::cerr << "tabellix-convert: unknown command \"" << args[0] << "\"\n";
    return 1;
}

// tabellix-convert: the conversions of the wizard from the command line.
#include "base/Exception.h"

#include <cstring>
#include <iostream>
#include <string>
#include <vector>

namespace {

const char* const kUsage = "Usage: tabellix-convert COMMAND [OPTIONS]\n"
                           "\n"
                           "Turns one worksheet of an .xls or .xlsx workbook into a MySQL table.\n"
                           "\n"
                           "Options:\n"
                           "  --help       show this text\n"
                           "  --version    show the version\n";

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
    std::cerr << "tabellix-convert: unknown command \"" << args[0] << "\"\n";
    return 1;
}

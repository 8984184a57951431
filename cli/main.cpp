// tabellix-convert: the conversions of the wizard from the command line.
#include "cli/commands.h"

#include <iostream>

int main(int argc, char** argv) {
    return tabellix::cli::RunMain(tabellix::cli::TArgs(argv + 1, argv + argc), std::cout,
                                  std::cerr);
}

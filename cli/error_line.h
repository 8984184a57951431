// The line the command line prints for an error that ends a command.
#pragma once

#include <exception>
#include <string>

namespace tabellix::cli {

// A database error with a code reads as the stock MySQL client prints one:
// "ERROR 1366 (22007): Incorrect string value: ...", the SQLSTATE taken from
// the server's "#" marker and HY000 when there is none; the client's detail
// line follows its sentence after ": ", and any other line break becomes a
// blank, so the error is one line. Every other error is the program's name
// and the message as it is.
std::string ErrorLine(const std::exception& error);

} // namespace tabellix::cli

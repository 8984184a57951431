// Reading the password the command line never takes as an argument.
#pragma once

#include <istream>
#include <string>

namespace tabellix::cli {

// One line of in. When fd (the descriptor behind in) is a terminal, the
// line is read from fd itself after "Password: " is written to promptFd,
// with echo off for the read and restored after it, so the password never
// shows. A trailing CR is dropped either way.
std::string ReadPassword(std::istream& in, int fd, int promptFd);

} // namespace tabellix::cli

// The subcommands of tabellix-convert. Each takes the arguments after its
// name, writes its output to out and its messages to err, and returns the
// exit status.
#pragma once

#include "base/Exception.h"

#include <iosfwd>
#include <string>
#include <vector>

namespace tabellix::cli {

// A command line that cannot be carried out; main prints the message.
TABELLIX_EXCEPTION(EUsageError, Exception);
// --help among a command's options: its usage is printed instead of running.
TABELLIX_EXCEPTION(EHelpAsked, Exception);

using TArgs = std::vector<std::string>;

// The whole command line after the program's name, as main runs it: the
// command, its usage for help, the version, the error line for a failure.
int RunMain(const TArgs& args, std::ostream& out, std::ostream& err);

int RunSheets(const TArgs& args, std::ostream& out, std::ostream& err);
int RunInspect(const TArgs& args, std::ostream& out, std::ostream& err);
int RunPropose(const TArgs& args, std::ostream& out, std::ostream& err);
int RunDump(const TArgs& args, std::ostream& out, std::ostream& err);
int RunTransfer(const TArgs& args, std::ostream& out, std::ostream& err);
int RunDatabases(const TArgs& args, std::ostream& out, std::ostream& err);

// Takes the value after option args[i] (advancing i), or raises EUsageError.
std::string OptionValue(const TArgs& args, size_t& i);
// The worksheet number of a --sheet value: 1 or more.
int SheetNumber(const std::string& text);
// The TCP port of a --port value: 1 to 65535.
int PortNumber(const std::string& text);
// The options every command answers alike: --help and -h raise EHelpAsked;
// --password and -p (in any form) are refused with where the password comes
// from instead. Returns for any other argument.
void CheckReservedOption(const std::string& arg);
// An argument where the command expects one of its options: a reserved one
// as above, else an unknown option.
[[noreturn]] void RefuseOption(const std::string& arg);

} // namespace tabellix::cli

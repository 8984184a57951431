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

using TArgs = std::vector<std::string>;

int RunSheets(const TArgs& args, std::ostream& out, std::ostream& err);
int RunInspect(const TArgs& args, std::ostream& out, std::ostream& err);
int RunDump(const TArgs& args, std::ostream& out, std::ostream& err);
int RunTransfer(const TArgs& args, std::ostream& out, std::ostream& err);
int RunDatabases(const TArgs& args, std::ostream& out, std::ostream& err);

// Takes the value after option args[i] (advancing i), or raises EUsageError.
std::string OptionValue(const TArgs& args, size_t& i);
// The worksheet number of a --sheet value: 1 or more.
int SheetNumber(const std::string& text);

} // namespace tabellix::cli

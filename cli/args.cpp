#include "cli/commands.h"

#include "base/Format.h"
#include "base/Text.h"

namespace tabellix::cli {

std::string OptionValue(const TArgs& args, size_t& i) {
    if (i + 1 >= args.size())
        throw EUsageError(Format("option %s needs a value", {args[i]}));
    return args[++i];
}

int SheetNumber(const std::string& text) {
    const auto number = TryStrToInt(text);
    if (!number || *number < 1)
        throw EUsageError(Format("--sheet wants a worksheet number from 1, not \"%s\"", {text}));
    return *number;
}

int PortNumber(const std::string& text) {
    const auto number = TryStrToInt(Trim(text));
    if (!number || *number < 1 || *number > 65535)
        throw EUsageError(
            Format("--port wants a TCP port number from 1 to 65535, not \"%s\"", {text}));
    return *number;
}

namespace {

// --password, --password=..., -p and -pSECRET: what the stock client takes.
bool IsPasswordOption(const std::string& arg) {
    return arg == "--password" || arg.starts_with("--password=") || arg.starts_with("-p");
}

} // namespace

void CheckReservedOption(const std::string& arg) {
    if (arg == "--help" || arg == "-h")
        throw EHelpAsked(arg);
    // Named without its value, which may be the password itself.
    if (IsPasswordOption(arg))
        throw EUsageError(Format("%s is not taken: a password on the command line can be read by "
                                 "other users; give it with --password-stdin or in "
                                 "TABELLIX_PASSWORD",
                                 {arg.starts_with("--") ? "--password" : "-p"}));
}

void RefuseOption(const std::string& arg) {
    CheckReservedOption(arg);
    throw EUsageError(Format("unknown option %s", {arg}));
}

} // namespace tabellix::cli

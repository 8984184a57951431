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

} // namespace tabellix::cli

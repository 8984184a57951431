#include "cli/option_strings.h"

#include "cli/commands.h"

#include "base/Format.h"
#include "base/Text.h"
#include "dataaccess/MySQLUniProvider.h"

#include <algorithm>
#include <memory>
#include <vector>

namespace tabellix::cli {

namespace {

// Not the registry's provider: only its option lists are read here.
TUniProvider& Provider() {
    static const std::unique_ptr<TUniProvider> provider = TMySQLUniProvider::Create();
    return *provider;
}

std::string Listed(const std::vector<std::string>& names) {
    std::string text;
    for (const std::string& name : names)
        text += (text.empty() ? "" : ", ") + name;
    return text;
}

// Every list an option string reaches on this program's road.
std::vector<const TOptionsList*> Lists() {
    TUniProvider& provider = Provider();
    return {&provider.GetConnectionOptions(), &provider.GetSQLOptions(),
            &provider.GetDataSetOptions()};
}

std::string KnownNames() {
    std::vector<std::string> names;
    for (const TOptionsList* list : Lists())
        for (int i = 0; i < list->Count(); ++i) {
            const std::string& name = list->Item(i).OptionName();
            if (std::find(names.begin(), names.end(), name) == names.end())
                names.push_back(name);
        }
    return Listed(names);
}

std::string Allowed(const TOption& option) {
    if (const auto* enumeration = dynamic_cast<const TEnumeratorOption*>(&option))
        return "one of " + Listed(enumeration->Values());
    if (dynamic_cast<const TBooleanOption*>(&option))
        return "True or False";
    return "a whole number";
}

[[noreturn]] void Refuse(const std::string& line, const std::string& why) {
    throw EUsageError(Format("-O %s: %s", {line, why}));
}

} // namespace

std::string CheckedOptionString(std::string line) {
    const TOptionString parsed = ParseOptionString(line);
    if (!parsed.HasName)
        Refuse(line, "an option string is NAME=VALUE or MySQL.NAME=VALUE");
    const std::string prefix = Provider().ProviderName();
    if (!parsed.Prefix.empty() && !SameText(parsed.Prefix, prefix))
        Refuse(line, Format("only %s options apply here, not %s ones", {prefix, parsed.Prefix}));
    bool known = false;
    for (const TOptionsList* list : Lists()) {
        const TOption* option = list->Find(parsed.Name);
        if (!option)
            continue;
        known = true;
        if (!option->Validate(parsed.Value))
            Refuse(line, Format("Invalid value: %s for option %s (it takes %s)",
                                {parsed.Value, option->OptionName(), Allowed(*option)}));
    }
    if (!known)
        Refuse(line,
               Format("unknown option \"%s\"; the options are %s", {parsed.Name, KnownNames()}));
    return line;
}

} // namespace tabellix::cli

#include "dataaccess/UniProvider.h"

#include "base/Exception.h"
#include "base/Format.h"
#include "base/Text.h"

#include <algorithm>
#include <climits>

namespace tabellix {

TOption::TOption(std::string optionName, int internalIndex,
                 std::vector<std::string> internalClasses, Variant defaultValue)
    : FOptionName(std::move(optionName)), FInternalIndex(internalIndex),
      FInternalClasses(std::move(internalClasses)), FDefaultValue(std::move(defaultValue)) {}

bool TOption::AppliesTo(const std::string& className) const {
    return std::find(FInternalClasses.begin(), FInternalClasses.end(), className) !=
           FInternalClasses.end();
}

bool TIntegerOption::Validate(const std::string& text) const {
    // -2147483647 is the marker of "no value" and cannot be set.
    const auto value = TryStrToInt(Trim(text));
    return value && *value != -INT_MAX;
}

Variant TIntegerOption::GetAsNative(const std::string& text) const {
    return Variant(StrToInt(Trim(text)));
}

std::string TIntegerOption::GetAsString(const Variant& value) const {
    return std::to_string(value.AsInteger());
}

bool TBooleanOption::Validate(const std::string& text) const {
    const std::string t = Trim(text);
    return SameText(t, "True") || SameText(t, "False");
}

Variant TBooleanOption::GetAsNative(const std::string& text) const {
    return Variant(SameText(Trim(text), "True"));
}

std::string TBooleanOption::GetAsString(const Variant& value) const {
    return value.AsBoolean() ? "True" : "False";
}

std::string TStringOption::GetAsString(const Variant& value) const {
    return value.AsString();
}

TEnumeratorOption::TEnumeratorOption(std::string optionName, int internalIndex,
                                     std::vector<std::string> internalClasses, Variant defaultValue,
                                     std::vector<std::string> valueNames, int lowest, int highest,
                                     bool hideUnderscore)
    : TOption(std::move(optionName), internalIndex, std::move(internalClasses),
              std::move(defaultValue)),
      FValueNames(std::move(valueNames)), FLowest(lowest), FHighest(highest),
      FHideUnderscore(hideUnderscore) {}

std::vector<std::string> TEnumeratorOption::Values() const {
    std::vector<std::string> values;
    for (int i = FLowest; i <= FHighest; ++i)
        values.push_back(GetAsString(Variant(i)));
    return values;
}

int TEnumeratorOption::Ordinal(const std::string& text) const {
    const std::string t = Trim(text);
    for (int i = FLowest; i <= FHighest; ++i)
        if (SameText(GetAsString(Variant(i)), t))
            return i;
    return -1;
}

bool TEnumeratorOption::Validate(const std::string& text) const {
    return Ordinal(text) >= 0;
}

Variant TEnumeratorOption::GetAsNative(const std::string& text) const {
    return Variant(Ordinal(text));
}

std::string TEnumeratorOption::GetAsString(const Variant& value) const {
    const std::string& name = FValueNames.at(static_cast<size_t>(value.AsInteger()));
    return FHideUnderscore && !name.empty() && name[0] == '_' ? name.substr(1) : name;
}

TOptionString ParseOptionString(const std::string& line) {
    TOptionString result;
    const size_t eq = line.find('=');
    size_t dot = line.find('.');
    if (dot != std::string::npos && eq != std::string::npos && dot > eq)
        dot = std::string::npos;
    if (eq == std::string::npos)
        return result;
    size_t nameStart = 0;
    if (dot != std::string::npos) {
        result.Prefix = line.substr(0, dot);
        nameStart = dot + 1;
    }
    result.Name = line.substr(nameStart, eq - nameStart);
    result.Value = line.substr(eq + 1);
    result.HasName = true;
    return result;
}

void TOptionsList::Add(std::unique_ptr<TOption> option) {
    auto at = std::upper_bound(FOptions.begin(), FOptions.end(), option->OptionName(),
                               [](const std::string& name, const auto& o) {
                                   return CompareText(name, o->OptionName()) < 0;
                               });
    FOptions.insert(at, std::move(option));
}

const TOption* TOptionsList::Find(const std::string& name) const {
    for (const auto& option : FOptions)
        if (SameText(option->OptionName(), name))
            return option.get();
    return nullptr;
}

void TOptionsList::ImportOptions(const TStringList& options, const std::string& targetClass,
                                 bool /*setAll*/, const TSetPropFunc& setProp) const {
    for (const auto& option : FOptions) {
        if (!option->AppliesTo(targetClass))
            continue;
        Variant value = option->DefaultValue();
        for (const std::string& line : options.Items()) {
            const TOptionString parsed = ParseOptionString(line);
            if (!parsed.HasName || !SameText(parsed.Name, option->OptionName()) ||
                !(parsed.Prefix.empty() || SameText(parsed.Prefix, FPrefix)))
                continue;
            if (!option->Validate(parsed.Value))
                throw Exception("Invalid value: " + parsed.Value + " for option " +
                                option->OptionName());
            value = option->GetAsNative(parsed.Value);
            break;
        }
        setProp(option->InternalIndex(), value);
    }
}

TUniProviderDesc::TUniProviderDesc(std::string providerName, std::string providerShortName)
    : FProviderName(std::move(providerName)), FProviderShortName(std::move(providerShortName)) {}

TUniProviderDesc::~TUniProviderDesc() = default;

TUniProviders::TUniProviders() {
    static const std::pair<const char*, const char*> known[] = {{"Access", "Access"},
                                                                {"Advantage", "Advantage"},
                                                                {"ASE", "ASE"},
                                                                {"DB2", "DB2"},
                                                                {"InterBase", "InterBase"},
                                                                {"MySQL", "MySQL"},
                                                                {"NexusDB", "NexusDB"},
                                                                {"ODBC", "ODBC"},
                                                                {"Oracle", "Oracle"},
                                                                {"PostgreSQL", "PostgreSQL"},
                                                                {"SQL Server", "SQLServer"},
                                                                {"SQLite", "SQLite"}};
    for (const auto& [name, shortName] : known)
        RegisterProviderDesc(name, shortName);
}

TUniProviders& TUniProviders::Instance() {
    static TUniProviders registry;
    return registry;
}

TUniProviderDesc* TUniProviders::FindDesc(const std::string& providerName) {
    for (const auto& desc : FDescs)
        if (SameText(desc->ProviderName(), providerName))
            return desc.get();
    return nullptr;
}

void TUniProviders::RegisterProviderDesc(const std::string& providerName,
                                         const std::string& providerShortName) {
    std::lock_guard<std::recursive_mutex> guard(FLock);
    if (!FindDesc(providerName))
        FDescs.push_back(std::make_unique<TUniProviderDesc>(providerName, providerShortName));
}

TUniProviderDesc& TUniProviders::GetProviderDesc(const std::string& providerName) {
    std::lock_guard<std::recursive_mutex> guard(FLock);
    if (TUniProviderDesc* desc = FindDesc(providerName))
        return *desc;
    throw Exception(Format("%s is not a valid provider name", {providerName}));
}

void TUniProviders::RegisterProvider(TUniProviderClass providerClass) {
    std::lock_guard<std::recursive_mutex> guard(FLock);
    GetProviderDesc(providerClass.GetProviderName()).FProvider = providerClass.Create();
}

void TUniProviders::UnRegisterProvider(TUniProviderClass providerClass) {
    std::lock_guard<std::recursive_mutex> guard(FLock);
    GetProviderDesc(providerClass.GetProviderName()).FProvider.reset();
}

TUniProvider* TUniProviders::GetProvider(const std::string& providerName) {
    std::lock_guard<std::recursive_mutex> guard(FLock);
    TUniProviderDesc* desc = FindDesc(providerName);
    return desc ? desc->Provider() : nullptr;
}

void TUniProviders::GetProviderNames(TStringList& names) {
    std::lock_guard<std::recursive_mutex> guard(FLock);
    names.Clear();
    for (const auto& desc : FDescs)
        if (desc->Provider())
            names.Add(desc->ProviderName());
}

std::string ProviderNotRegisteredMessage(const TUniProviderDesc& desc) {
    return Format("%s provider is not registered. You should add the %s unit to the uses clause "
                  "of any unit in your project or place the %s component on the form.",
                  {desc.ProviderName(), desc.ProviderUnitName(), desc.ProviderComponentName()});
}

TUniProvider::~TUniProvider() = default;

const TOptionsList& TUniProvider::Lazy(std::unique_ptr<TOptionsList>& list,
                                       void (TUniProvider::*create)(TOptionsList&)) {
    if (!list) {
        list = std::make_unique<TOptionsList>(ProviderName());
        (this->*create)(*list);
    }
    return *list;
}

void TUniProvider::SetObjectProps(TCRConnection& connection, const TStringList& options) {
    GetConnectionOptions().ImportOptions(
        options, connection.ClassName(), true,
        [&connection](int prop, const Variant& value) { connection.SetProp(prop, value); });
}

void TUniProvider::SetObjectProps(TCRCommand& command, const TStringList& options) {
    GetSQLOptions().ImportOptions(
        options, command.ClassName(), true,
        [&command](int prop, const Variant& value) { command.SetProp(prop, value); });
}

const TOptionsList& TUniProvider::GetConnectionOptions() {
    return Lazy(FConnectionOptions, &TUniProvider::CreateConnectionOptions);
}

const TOptionsList& TUniProvider::GetSQLOptions() {
    return Lazy(FSQLOptions, &TUniProvider::CreateSQLOptions);
}

const TOptionsList& TUniProvider::GetDataSetOptions() {
    return Lazy(FDataSetOptions, &TUniProvider::CreateDataSetOptions);
}

} // namespace tabellix

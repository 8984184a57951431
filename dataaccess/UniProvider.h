// The provider registry and the option machinery: typed options that turn
// the connection component's option strings into SetProp calls on the
// provider-level objects.
#pragma once

#include "base/StringList.h"
#include "base/Variant.h"
#include "crbase/CRAccess.h"
#include "crbase/CRMetaData.h"
#include "dataaccess/UniSqlFormatter.h"

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace tabellix {

// One typed entry of an option list.
class TOption {
public:
    // internalClasses: the exact class names (ClassName()) of the objects
    // the option applies to.
    TOption(std::string optionName, int internalIndex, std::vector<std::string> internalClasses,
            Variant defaultValue);
    virtual ~TOption() = default;

    const std::string& OptionName() const { return FOptionName; }
    int InternalIndex() const { return FInternalIndex; }
    const Variant& DefaultValue() const { return FDefaultValue; }
    bool AppliesTo(const std::string& className) const;

    virtual bool Validate(const std::string& text) const = 0;
    virtual Variant GetAsNative(const std::string& text) const = 0;
    virtual std::string GetAsString(const Variant& value) const = 0;

private:
    std::string FOptionName;
    int FInternalIndex;
    std::vector<std::string> FInternalClasses;
    Variant FDefaultValue;
};

class TIntegerOption : public TOption {
public:
    using TOption::TOption;
    bool Validate(const std::string& text) const override;
    Variant GetAsNative(const std::string& text) const override;
    std::string GetAsString(const Variant& value) const override;
};

class TBooleanOption : public TOption {
public:
    using TOption::TOption;
    bool Validate(const std::string& text) const override;
    Variant GetAsNative(const std::string& text) const override;
    std::string GetAsString(const Variant& value) const override;
};

class TStringOption : public TOption {
public:
    using TOption::TOption;
    bool Validate(const std::string&) const override { return true; }
    Variant GetAsNative(const std::string& text) const override { return Variant(text); }
    std::string GetAsString(const Variant& value) const override;
};

// An enumeration: the native value is the ordinal of one of the value names.
class TEnumeratorOption : public TOption {
public:
    // valueNames: the enumeration's names from ordinal 0; the allowed ones
    // run from lowest to highest. A type whose names all begin with "_"
    // hides that character in both directions (hideUnderscore).
    TEnumeratorOption(std::string optionName, int internalIndex,
                      std::vector<std::string> internalClasses, Variant defaultValue,
                      std::vector<std::string> valueNames, int lowest, int highest,
                      bool hideUnderscore = false);
    bool Validate(const std::string& text) const override;
    Variant GetAsNative(const std::string& text) const override;
    std::string GetAsString(const Variant& value) const override;
    // The names a text may give, lowest to highest.
    std::vector<std::string> Values() const;

private:
    int Ordinal(const std::string& text) const;

    std::vector<std::string> FValueNames;
    int FLowest;
    int FHighest;
    bool FHideUnderscore;
};

// One option string taken apart: prefix "." name "=" value.
struct TOptionString {
    std::string Prefix;
    std::string Name;
    std::string Value;
    bool HasName = false; // false for a line without "="
};
TOptionString ParseOptionString(const std::string& line);

using TSetPropFunc = std::function<void(int prop, const Variant& value)>;

// Options sorted by name, ignoring letter case, under a prefix.
class TOptionsList {
public:
    explicit TOptionsList(std::string prefix) : FPrefix(std::move(prefix)) {}

    void Add(std::unique_ptr<TOption> option);
    const std::string& Prefix() const { return FPrefix; }
    int Count() const { return static_cast<int>(FOptions.size()); }
    const TOption& Item(int index) const { return *FOptions.at(static_cast<size_t>(index)); }
    // nullptr when no option has that name.
    const TOption* Find(const std::string& name) const;

    // Sets every option that applies to a target of class targetClass, from
    // the first matching option string or else its default. setAll is kept
    // for callers; every applying option is set every time.
    void ImportOptions(const TStringList& options, const std::string& targetClass, bool setAll,
                       const TSetPropFunc& setProp) const;

private:
    std::string FPrefix;
    std::vector<std::unique_ptr<TOption>> FOptions;
};

class TUniProvider;

using TSqlFormatterClass = std::unique_ptr<TUniSqlFormatter> (*)();

// A provider class: its class-level name and how to make one.
struct TUniProviderClass {
    std::string (*GetProviderName)();
    std::unique_ptr<TUniProvider> (*Create)();
};

// A database system the registry knows; Provider() is set once a provider
// registered for it.
class TUniProviderDesc {
public:
    TUniProviderDesc(std::string providerName, std::string providerShortName);
    ~TUniProviderDesc();

    const std::string& ProviderName() const { return FProviderName; }
    const std::string& ProviderShortName() const { return FProviderShortName; }
    std::string ProviderUnitName() const { return FProviderShortName + "UniProvider"; }
    std::string ProviderComponentName() const { return "T" + ProviderUnitName(); }
    TUniProvider* Provider() const { return FProvider.get(); }

private:
    friend class TUniProviders;
    std::string FProviderName;
    std::string FProviderShortName;
    std::unique_ptr<TUniProvider> FProvider;
};

class TUniProviders {
public:
    // The one registry of the process, filled with the known systems.
    static TUniProviders& Instance();

    // Adds a description unless one with that name (ignoring case) exists.
    void RegisterProviderDesc(const std::string& providerName,
                              const std::string& providerShortName);
    void RegisterProvider(TUniProviderClass providerClass);
    void UnRegisterProvider(TUniProviderClass providerClass);
    // Raises "%s is not a valid provider name" for an unknown name.
    TUniProviderDesc& GetProviderDesc(const std::string& providerName);
    // nullptr for an unknown name or one nobody registered for.
    TUniProvider* GetProvider(const std::string& providerName);
    void GetProviderNames(TStringList& names);

private:
    TUniProviders();
    TUniProviderDesc* FindDesc(const std::string& providerName);

    std::recursive_mutex FLock;
    std::vector<std::unique_ptr<TUniProviderDesc>> FDescs;
};

// The message for a known system without a registered provider.
std::string ProviderNotRegisteredMessage(const TUniProviderDesc& desc);

// What a provider supplies for one database system: capability answers and
// the option lists, built on first request and kept.
class TUniProvider {
public:
    virtual ~TUniProvider();

    virtual std::string ProviderName() const = 0;
    virtual bool IsDatabaseSupported() const { return false; }
    virtual bool IsPortSupported() const { return false; }
    virtual bool IsDataSetNeedTransaction() const { return false; }
    virtual bool IsInOutParamSupported() const { return true; }
    virtual bool IsPoolingSupported() const { return true; }
    virtual bool NeedRecreateProcCall() const { return false; }

    // nullptr where the provider has no such class.
    virtual TCRConnectionClass GetConnectionClass() const { return nullptr; }
    virtual TCRCommandClass GetCommandClass() const { return nullptr; }
    virtual TParserClass GetParserClass() const { return &TSQLParser::Create; }
    virtual TSqlFormatterClass GetSqlFormatterClass() const { return nullptr; }
    virtual TCRMetaDataClass GetMetaDataClass() const { return nullptr; }

    // Whether an error raised by the provider's objects means the connection
    // is lost.
    virtual bool IsFatalError(const Exception&) const { return false; }

    // Applies the option strings to a provider-level object, each option
    // from its first matching line or its default.
    virtual void SetObjectProps(TCRConnection& connection, const TStringList& options);
    virtual void SetObjectProps(TCRCommand& command, const TStringList& options);

    const TOptionsList& GetConnectionOptions();
    const TOptionsList& GetSQLOptions();
    const TOptionsList& GetDataSetOptions();

protected:
    virtual void CreateConnectionOptions(TOptionsList& list) = 0;
    virtual void CreateSQLOptions(TOptionsList& list) = 0;
    virtual void CreateDataSetOptions(TOptionsList& list) = 0;

private:
    const TOptionsList& Lazy(std::unique_ptr<TOptionsList>& list,
                             void (TUniProvider::*create)(TOptionsList&));

    std::unique_ptr<TOptionsList> FConnectionOptions;
    std::unique_ptr<TOptionsList> FSQLOptions;
    std::unique_ptr<TOptionsList> FDataSetOptions;
};

} // namespace tabellix

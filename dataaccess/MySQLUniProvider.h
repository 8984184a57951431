// The MySQL provider: its capability answers and its connection, SQL and
// data-set option lists.
#pragma once

#include "dataaccess/UniProvider.h"
#include "dataaccess/UniSqlFormatter.h"

namespace tabellix {

class TMySQLUniProvider : public TUniProvider {
public:
    static std::string GetProviderName() { return "MySQL"; }
    static std::unique_ptr<TUniProvider> Create();
    static TUniProviderClass Class() { return {&GetProviderName, &Create}; }

    std::string ProviderName() const override { return GetProviderName(); }
    bool IsDatabaseSupported() const override { return true; }
    bool IsPortSupported() const override { return true; }
    bool IsFatalError(const Exception& error) const override;

    TCRConnectionClass GetConnectionClass() const override;
    TCRCommandClass GetCommandClass() const override;
    TParserClass GetParserClass() const override;
    TSqlFormatterClass GetSqlFormatterClass() const override;
    TCRMetaDataClass GetMetaDataClass() const override;

    // Sets the provider's fixed values first (CheckPrecision on a MySQL
    // connection), then the options.
    void SetObjectProps(TCRConnection& connection, const TStringList& options) override;
    using TUniProvider::SetObjectProps;

protected:
    void CreateConnectionOptions(TOptionsList& list) override;
    void CreateSQLOptions(TOptionsList& list) override;
    void CreateDataSetOptions(TOptionsList& list) override;
};

// The unified-SQL pass for MySQL: backquoted identifiers, MySQL functions.
class TMySqlFormatter : public TUniSqlFormatter {
public:
    TMySqlFormatter();
    std::string ClassName() const override { return "TMySqlFormatter"; }

protected:
    char QuoteChar() const override { return '`'; }
    bool ConvertFunction(const std::string& name, const std::vector<std::string>& args,
                         std::string& result) const override;
};

// The value names of TMyProtocol, ordinals 0 to 6.
const std::vector<std::string>& MyProtocolNames();

} // namespace tabellix

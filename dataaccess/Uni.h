// The connection component the program holds and its SQL command: provider
// selection by name, port, database and option strings, the unified-SQL
// pass.
#pragma once

#include "dataaccess/DBAccess.h"
#include "dataaccess/UniProvider.h"
#include "dataaccess/UniSqlFormatter.h"

namespace tabellix {

class TUniConnection : public TCustomDAConnection {
public:
    TUniConnection();
    ~TUniConnection() override;

    const std::string& ProviderName() const { return FProviderName; }
    // Refused while connected ("This operation is not allowed on active
    // connection").
    void SetProviderName(const std::string& value);
    int Port() const { return FPort; }
    void SetPort(int value);
    const std::string& Database() const { return FDatabase; }
    // Switches the database of a live connection in place.
    void SetDatabase(const std::string& value);
    // Option strings; a change while connected disconnects first.
    TStringList& SpecificOptions() { return FSpecificOptions; }

    std::unique_ptr<TCustomDASQL> CreateSQL() override;
    std::unique_ptr<TDAMetaData> CreateMetaData() override;
    TCRMetaDataClass GetIMetaDataClass() override;
    TCRCommandClass GetICommandClass() override;
    std::string GetFinalSQL(std::string text) override;
    // The provider, checked: raises the registry's messages when there is
    // none for ProviderName.
    TUniProvider& CheckProvider();

protected:
    void DoConnect() override;
    void CreateIConnection() override;
    bool IsFatalError(const Exception& error) const override;

private:
    TUniSqlFormatter* SqlFormatter();

    std::string FProviderName;
    TUniProvider* FProvider = nullptr;
    int FPort = 0;
    std::string FDatabase;
    TStringList FSpecificOptions;
    std::unique_ptr<TUniSqlFormatter> FSQLFormatter;
    TSqlFormatterClass FSQLFormatterClass = nullptr;
};

// The metadata data set of this component.
class TUniMetaData : public TDAMetaData {
public:
    using TDAMetaData::TDAMetaData;
};

class TUniSQL : public TCustomDASQL {
public:
    // SQL option strings of the provider (empty by default).
    TStringList& SpecificOptions() { return FSpecificOptions; }
    // Runs the unified-SQL pass (on by default).
    bool EnableUniSQL() const { return FEnableUniSQL; }
    void SetEnableUniSQL(bool value) { FEnableUniSQL = value; }

    std::string GetFinalSQL() const override;

protected:
    void ApplyOptions(TCRCommand& command) override;

private:
    TStringList FSpecificOptions;
    bool FEnableUniSQL = true;
};

} // namespace tabellix

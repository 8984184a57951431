#include "dataaccess/Uni.h"

#include "base/Format.h"
#include "base/Text.h"

#include <utility>

namespace tabellix {

TUniConnection::TUniConnection() {
    FSpecificOptions.OnChanging = [this] { Disconnect(); };
    FSpecificOptions.OnChange = [this] { FSpecificOptions.SetModified(true); };
}

TUniConnection::~TUniConnection() {
    SetDestroying();
    Disconnecting([this] {
        if (Connected())
            DoDisconnect();
    });
    FSpecificOptions.OnChanging = nullptr;
    FSpecificOptions.OnChange = nullptr;
}

void TUniConnection::SetProviderName(const std::string& value) {
    if (Connected())
        throw EDAError("This operation is not allowed on active connection");
    const std::string name = Trim(value);
    if (!SameText(name, FProviderName)) {
        FProvider = TUniProviders::Instance().GetProvider(name);
        FreeIConnection();
        FSQLFormatter.reset();
        FSQLFormatterClass = nullptr;
    }
    FProviderName = name;
}

void TUniConnection::SetPort(int value) {
    if (value == FPort)
        return;
    Disconnect();
    FPort = value;
    if (IConnection())
        IConnection()->SetProp(prPort, value);
}

void TUniConnection::SetDatabase(const std::string& value) {
    const std::string name = Trim(value);
    if (name == FDatabase)
        return;
    if (Connected() && !IConnection()->CanChangeDatabase())
        Disconnect();
    FDatabase = name;
    if (IConnection())
        WrapDAErrors([&] { IConnection()->SetProp(prDatabase, FDatabase); });
}

TUniProvider& TUniConnection::CheckProvider() {
    if (!FProvider)
        FProvider = TUniProviders::Instance().GetProvider(FProviderName);
    if (FProvider)
        return *FProvider;
    if (FProviderName.empty())
        throw EDAError("Provider is not defined");
    throw Exception(
        ProviderNotRegisteredMessage(TUniProviders::Instance().GetProviderDesc(FProviderName)));
}

void TUniConnection::CreateIConnection() {
    TUniProvider& provider = CheckProvider();
    if (!IConnection()) {
        TCRConnectionClass connectionClass = provider.GetConnectionClass();
        if (!connectionClass)
            throw Exception(Format("The %s provider has no connection class", {FProviderName}));
        std::unique_ptr<TCRConnection> connection = connectionClass();
        if (provider.IsDatabaseSupported())
            connection->SetProp(prDatabase, FDatabase);
        if (provider.IsPortSupported())
            connection->SetProp(prPort, FPort);
        connection->SetProp(prDisconnectedMode, Options().DisconnectedMode);
        connection->SetProp(prEnableBCD, Options().EnableBCD);
        connection->SetProp(prEnableFMTBCD, Options().EnableFMTBCD);
        provider.SetObjectProps(*connection, FSpecificOptions);
        FSpecificOptions.SetModified(false);
        SetIConnection(std::move(connection));
    } else if (FSpecificOptions.Modified()) {
        provider.SetObjectProps(*IConnection(), FSpecificOptions);
        FSpecificOptions.SetModified(false);
    }
}

void TUniConnection::DoConnect() {
    WrapDAErrors([this] { TCustomDAConnection::DoConnect(); });
    if (CheckProvider().IsDatabaseSupported() && FDatabase.empty()) {
        Variant database;
        if (IConnection()->GetProp(prDatabase, database))
            FDatabase = database.AsString();
    }
}

bool TUniConnection::IsFatalError(const Exception& error) const {
    return FProvider && FProvider->IsFatalError(error);
}

std::unique_ptr<TCustomDASQL> TUniConnection::CreateSQL() {
    auto sql = std::make_unique<TUniSQL>();
    sql->SetConnection(this);
    return sql;
}

std::unique_ptr<TDAMetaData> TUniConnection::CreateMetaData() {
    return std::make_unique<TUniMetaData>(this);
}

TCRMetaDataClass TUniConnection::GetIMetaDataClass() {
    TCRMetaDataClass metaDataClass = CheckProvider().GetMetaDataClass();
    if (!metaDataClass)
        throw Exception(Format("The %s provider has no metadata class", {FProviderName}));
    return metaDataClass;
}

TCRCommandClass TUniConnection::GetICommandClass() {
    TCRCommandClass commandClass = CheckProvider().GetCommandClass();
    if (!commandClass)
        throw Exception(Format("The %s provider has no command class", {FProviderName}));
    return commandClass;
}

TUniSqlFormatter* TUniConnection::SqlFormatter() {
    const TSqlFormatterClass formatterClass = CheckProvider().GetSqlFormatterClass();
    if (!formatterClass)
        return nullptr;
    if (!FSQLFormatter || FSQLFormatterClass != formatterClass) {
        FSQLFormatter = formatterClass();
        FSQLFormatterClass = formatterClass;
    }
    return FSQLFormatter.get();
}

std::string TUniConnection::GetFinalSQL(std::string text) {
    TUniSqlFormatter* formatter = SqlFormatter();
    return formatter ? formatter->Expand(std::move(text)) : text;
}

std::string TUniSQL::GetFinalSQL() const {
    std::string text = TCustomDASQL::GetFinalSQL();
    if (FEnableUniSQL && Connection())
        return Connection()->GetFinalSQL(std::move(text));
    return text;
}

void TUniSQL::ApplyOptions(TCRCommand& command) {
    if (auto* connection = dynamic_cast<TUniConnection*>(Connection()))
        connection->CheckProvider().SetObjectProps(command, FSpecificOptions);
}

} // namespace tabellix

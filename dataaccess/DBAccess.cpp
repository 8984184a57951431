#include "dataaccess/DBAccess.h"

#include "base/Format.h"
#include "base/Text.h"
#include "dataaccess/UniSqlFormatter.h"

#include <algorithm>
#include <utility>

namespace tabellix {

EUniError::EUniError(const EDAError& error, std::exception_ptr inner)
    : EDAError(error.ErrorCode(), error.Message()), FInnerError(std::move(inner)) {
    SetComponent(error.Component());
}

// --- macros ---------------------------------------------------------------

const TMacro* TMacros::FindMacro(const std::string& name) const {
    for (const TMacro& macro : FItems)
        if (SameText(macro.Name(), name))
            return &macro;
    return nullptr;
}

TMacro* TMacros::FindMacro(const std::string& name) {
    return const_cast<TMacro*>(std::as_const(*this).FindMacro(name));
}

TMacro& TMacros::MacroByName(const std::string& name) {
    if (TMacro* macro = FindMacro(name))
        return *macro;
    throw EDAError(Format("Macro %s not found", {name}));
}

namespace {

// Calls found(name, start, end) for every "&" directly followed by a name.
template <class Found> void ForEachMacro(const std::string& text, Found found) {
    TUniPassLexer lexer(text);
    std::string raw;
    for (int code; (code = lexer.Next(raw)) != lcEnd;) {
        if (raw != "&")
            continue;
        const int start = lexer.PrevPos();
        code = lexer.Next(raw);
        if (lexer.IsName(code) && code != lcString)
            found(raw, start, lexer.CurrPos());
    }
}

} // namespace

void TMacros::Scan(const std::string& text) {
    std::vector<TMacro> found;
    if (text.find('&') != std::string::npos)
        ForEachMacro(text, [&](const std::string& name, int, int) {
            const bool seen = std::any_of(found.begin(), found.end(), [&](const TMacro& m) {
                return SameText(m.Name(), name);
            });
            if (seen)
                return;
            const TMacro* known = FindMacro(name);
            found.push_back(known ? *known : TMacro(name));
        });
    const bool same = found.size() == FItems.size() &&
                      std::equal(found.begin(), found.end(), FItems.begin(),
                                 [](const TMacro& a, const TMacro& b) {
                                     return a.Name() == b.Name() && a.Value() == b.Value() &&
                                            a.Active() == b.Active();
                                 });
    if (!same)
        FItems = std::move(found);
}

std::string TMacros::Expand(const std::string& text) const {
    std::string out;
    int copied = 0;
    ForEachMacro(text, [&](const std::string& name, int start, int end) {
        out.append(text, static_cast<size_t>(copied), static_cast<size_t>(start - copied));
        const TMacro* macro = FindMacro(name);
        if (macro && macro->Active())
            out += macro->Value();
        copied = end;
    });
    out.append(text, static_cast<size_t>(copied), std::string::npos);
    return out;
}

// --- parameters -----------------------------------------------------------

TDAParam& TDAParams::Add(std::string name) {
    FItems.push_back(std::make_unique<TDAParam>(std::move(name)));
    return *FItems.back();
}

TDAParam* TDAParams::FindParam(const std::string& name) {
    for (const auto& param : FItems)
        if (SameText(param->Name(), name))
            return param.get();
    return nullptr;
}

TDAParam& TDAParams::ParamByName(const std::string& name) {
    if (TDAParam* param = FindParam(name))
        return *param;
    throw EDAError(Format("Parameter '%s' not found", {name}));
}

// --- the command ----------------------------------------------------------

TCustomDASQL::TCustomDASQL() = default;

TCustomDASQL::~TCustomDASQL() {
    if (FConnection)
        FConnection->UnRegisterClient(this);
}

void TCustomDASQL::SetConnection(TCustomDAConnection* connection) {
    if (connection == FConnection)
        return;
    if (FConnection)
        FConnection->UnRegisterClient(this);
    FConnection = connection;
    if (FConnection)
        FConnection->RegisterClient(this);
    ProviderConnectionChanged();
}

void TCustomDASQL::SetSQL(const std::string& text) {
    FSQL = text;
    UnPrepare();
    if (!FLockMacros)
        FMacros.Scan(FSQL);
    if (!FLockAssembleSQL)
        AssembleSQL();
    if (FICommand)
        FICommand->SetProp(prIsStoredProc, false);
}

void TCustomDASQL::SetParamCheck(bool value) {
    FParamCheck = value;
    if (FICommand)
        FICommand->SetProp(prScanParams, value);
    if (value)
        AssembleSQL();
}

std::string TCustomDASQL::GetFinalSQL() const {
    size_t end = FSQL.size();
    while (end > 0 && static_cast<unsigned char>(FSQL[end - 1]) < 33)
        --end;
    std::string text = FSQL.substr(0, end);
    if (FMacros.Count() > 0)
        return FMacros.Expand(text);
    return text;
}

bool TCustomDASQL::CheckICommand() {
    if (!FConnection)
        return false;
    const TCRCommandClass commandClass = FConnection->GetICommandClass();
    if (FICommand && FICommandClass == commandClass)
        return false;
    FICommand.reset();
    FICommand = commandClass();
    FICommandClass = commandClass;
    CreateICommand();
    return true;
}

void TCustomDASQL::CreateICommand() {
    TCRCommand& command = *FICommand;
    command.SetConnection(FConnection->IConnection());
    command.SetTransaction(FConnection->IConnection()
                               ? FConnection->IConnection()->GetInternalTransaction()
                               : nullptr);
    command.SetProp(prAutoCommit, FAutoCommit);
    command.SetAfterExecute([this](bool succeeded) { DoAfterExecute(succeeded); });
    command.SetComponent(this);
    command.SetProp(prScanParams, FParamCheck);
    command.SetProp(prIsStoredProc, false);
    ApplyOptions(command);
    AssembleSQL();
}

void TCustomDASQL::AssembleSQL() {
    if (!FConnection)
        return;
    if (!CheckICommand()) {
        const std::string final = GetFinalSQL();
        if (FLockScanParams)
            FICommand->SetProp(prDisableParamScan, true);
        FICommand->SetSQL(final);
        if (FLockScanParams)
            FICommand->SetProp(prDisableParamScan, false);
    }
    if (FParamCheck && !FLockScanParams)
        RebuildParams();
}

void TCustomDASQL::RebuildParams() {
    std::vector<std::pair<std::string, Variant>> saved;
    for (int i = 0; i < FParams.Count(); ++i)
        saved.emplace_back(FParams.Item(i).Name(), FParams.Item(i).Value());
    FParams.Clear();
    for (int i = 0; i < FICommand->GetParamCount(); ++i) {
        const TParamDesc& desc = *FICommand->GetParam(i);
        TDAParam& param = FParams.Add(desc.Name());
        param.SetDataType(desc.DataType());
        param.SetParamType(desc.ParamType());
        param.SetSize(desc.Size());
    }
    for (const auto& [name, value] : saved)
        if (TDAParam* param = FParams.FindParam(name))
            param->SetValue(value);
}

void TCustomDASQL::WriteParams() {
    for (int i = 0; i < FICommand->GetParamCount(); ++i) {
        TParamDesc& desc = *FICommand->GetParam(i);
        TDAParam* param = FParams.FindParam(desc.Name());
        if (!param)
            continue;
        desc.SetDataType(param->DataType());
        desc.SetParamType(param->ParamType());
        desc.SetSize(param->Size());
        const TParamDirection type = param->ParamType();
        if (type == TParamDirection::pdUnknown || type == TParamDirection::pdInput ||
            type == TParamDirection::pdInputOutput)
            desc.SetValue(param->Value());
    }
}

void TCustomDASQL::ExecuteBegin() {
    if (!FConnection)
        throw EDAError("Connection is not defined");
    FConnection->InternalConnect();
    CheckICommand();
    TCRConnection* connection = FConnection->IConnection();
    FICommand->SetConnection(connection);
    TCRTransaction* transaction = connection ? connection->GetInternalTransaction() : nullptr;
    if (!transaction)
        throw EDAError("Transaction not assigned");
    FICommand->SetTransaction(transaction);
}

void TCustomDASQL::Execute(int iterations) {
    if (Executing())
        return;
    ExecuteBegin();
    WriteParams();
    WrapDAErrors([&] { FICommand->Execute(iterations); });
}

void TCustomDASQL::DoAfterExecute(bool succeeded) {
    if (succeeded && FConnection && FConnection->IConnection()) {
        Variant id;
        if (FConnection->IConnection()->GetProp(prLastInsertId, id))
            FLastInsertId = id.AsInt64();
        FConnection->InternalDisconnect();
    }
    if (AfterExecute)
        AfterExecute(succeeded);
}

void TCustomDASQL::Prepare() {
    ExecuteBegin();
    FICommand->Prepare();
}

void TCustomDASQL::UnPrepare() {
    if (FICommand && FICommand->GetPrepared())
        FICommand->Unprepare();
}

bool TCustomDASQL::Prepared() const {
    return FICommand && FICommand->GetPrepared();
}

bool TCustomDASQL::Executing() const {
    return FICommand && FICommand->Executing();
}

int TCustomDASQL::RowsAffected() const {
    Variant rows;
    if (!FICommand || !FICommand->GetProp(prRowsAffected, rows))
        return 0;
    return rows.AsInteger();
}

void TCustomDASQL::ConnectionClosing() {
    UnPrepare();
}

void TCustomDASQL::ProviderConnectionChanged() {
    if (!FICommand)
        return;
    TCRConnection* connection = FConnection ? FConnection->IConnection() : nullptr;
    FICommand->SetConnection(connection);
    FICommand->SetTransaction(connection ? connection->GetInternalTransaction() : nullptr);
}

// --- metadata -------------------------------------------------------------

TDAMetaData::~TDAMetaData() = default;

void TDAMetaData::SetConnection(TCustomDAConnection* connection) {
    if (connection == FConnection)
        return;
    Close();
    FIMetaData.reset();
    FConnection = connection;
}

void TDAMetaData::SetMetaDataKind(const std::string& kind) {
    if (kind != FMetaDataKind)
        Close();
    FMetaDataKind = kind;
}

void TDAMetaData::Open() {
    if (!FConnection)
        throw EDAError("Connection is not defined");
    FConnection->InternalConnect();
    // A reconnect made by the error hook asks for the open to start again.
    for (;;) {
        try {
            WrapDAErrors([this] { OpenOnce(); });
            break;
        } catch (const EFailOver&) {
        }
    }
    FConnection->InternalDisconnect();
}

void TDAMetaData::OpenOnce() {
    const TCRMetaDataClass metaDataClass = FConnection->GetIMetaDataClass();
    if (!FIMetaData || FIMetaDataClass != metaDataClass) {
        FIMetaData = metaDataClass();
        FIMetaDataClass = metaDataClass;
    }
    TCRConnection* connection = FConnection->IConnection();
    FData = &FIMetaData->GetMetaData(connection, connection->GetInternalTransaction(),
                                     FMetaDataKind, FRestrictions);
}

int TDAMetaData::RecordCount() const {
    return FData ? FData->RecordCount() : 0;
}

std::string TDAMetaData::FieldText(int recNo, const std::string& fieldName) const {
    const int field = FData ? FData->FindField(fieldName) : -1;
    if (field < 0)
        throw EDAError(Format("Field '%s' not found", {fieldName}));
    const Variant value = FData->GetFieldAsVariant(recNo, field);
    return value.IsNull() ? std::string() : value.AsString();
}

// --- the connection -------------------------------------------------------

TCustomDAConnection::TCustomDAConnection() = default;

TCustomDAConnection::~TCustomDAConnection() {
    // Commands kept elsewhere point back here; they must no longer find us.
    const std::vector<TCustomDASQL*> commands = FSQLs;
    for (TCustomDASQL* command : commands)
        command->SetConnection(nullptr);
}

void TCustomDAConnection::SetServer(const std::string& value) {
    if (value == FServer)
        return;
    Disconnect();
    FServer = value;
}

void TCustomDAConnection::SetUsername(const std::string& value) {
    if (value == FUsername)
        return;
    Disconnect();
    FUsername = value;
}

void TCustomDAConnection::SetPassword(const std::string& value) {
    if (value == FPassword)
        return;
    Disconnect();
    FPassword = value;
}

bool TCustomDAConnection::Connected() const {
    return FIConnection && FIConnection->GetConnected();
}

void TCustomDAConnection::SetConnected(bool value) {
    if (value == Connected())
        return;
    if (value)
        DoOpen();
    else
        DoClose();
}

void TCustomDAConnection::DoOpen() {
    if (BeforeConnect)
        BeforeConnect();
    DoConnect();
    if (AfterConnect)
        AfterConnect();
}

void TCustomDAConnection::DoConnect() {
    CreateIConnection();
    FIConnection->SetUsername(FUsername);
    FIConnection->SetPassword(FPassword);
    FIConnection->SetServer(FServer);
    FIConnection->Connect("");
}

void TCustomDAConnection::DoClose() {
    FConnectCount = 0;
    if (BeforeDisconnect)
        BeforeDisconnect();
    {
        std::lock_guard<std::recursive_mutex> guard(hRegisterClient);
        for (TCustomDASQL* command : FSQLs)
            command->ConnectionClosing();
    }
    Disconnecting([this] { DoDisconnect(); });
    if (AfterDisconnect)
        AfterDisconnect();
}

void TCustomDAConnection::Disconnecting(const std::function<void()>& disconnect) {
    FDisconnecting = true;
    try {
        WrapDAErrors(disconnect);
    } catch (const EDAError& e) {
        FDisconnecting = false;
        if (!(FDestroying && IsFatalError(e)))
            throw;
        return;
    }
    FDisconnecting = false;
}

void TCustomDAConnection::DoDisconnect() {
    if (FIConnection && FIConnection->GetConnected())
        FIConnection->Disconnect();
}

void TCustomDAConnection::InternalConnect() {
    ++FConnectCount;
    Open();
}

void TCustomDAConnection::InternalDisconnect() {
    if (FConnectCount > 0)
        --FConnectCount;
    const TCRTransaction* transaction =
        FIConnection ? FIConnection->GetInternalTransaction() : nullptr;
    if (FConnectCount == 0 && FOptions.DisconnectedMode &&
        !(transaction && transaction->GetInTransaction()))
        Close();
}

TCustomDASQL& TCustomDAConnection::InternalCommand() {
    if (!FCommand) {
        FCommand = CreateSQL();
        FCommand->SetDebug(FDebug);
    }
    return *FCommand;
}

Variant TCustomDAConnection::ExecSQL(const std::string& text, const std::vector<Variant>& params) {
    TCustomDASQL& command = InternalCommand();
    command.SetSQL("");
    command.SetSQL(text);
    TDAParam* result = nullptr;
    for (int i = 0; i < command.Params().Count(); ++i) {
        TDAParam& param = command.Params().Item(i);
        if (static_cast<size_t>(i) < params.size())
            param.SetValue(params[static_cast<size_t>(i)]);
        if (param.ParamType() == TParamDirection::pdResult)
            result = &param;
    }
    if (result && result->DataType() == 0)
        result->SetDataType(dtString);
    command.Execute(1);
    return result ? result->Value() : Variant::Null();
}

std::unique_ptr<TDAMetaData> TCustomDAConnection::CreateMetaData() {
    return std::make_unique<TDAMetaData>(this);
}

void TCustomDAConnection::GetDatabaseNames(TStringList& list) {
    std::unique_ptr<TDAMetaData> metaData = CreateMetaData();
    metaData->SetMetaDataKind("Databases");
    metaData->Open();
    list.BeginUpdate();
    list.Clear();
    for (int i = 0; i < metaData->RecordCount(); ++i)
        list.Add(metaData->FieldText(i, "DATABASE_NAME"));
    list.EndUpdate();
}

void TCustomDAConnection::GetTableNames(TStringList& list, bool allTables) {
    std::unique_ptr<TDAMetaData> metaData = CreateMetaData();
    metaData->SetMetaDataKind("tables");
    if (!allTables)
        metaData->Restrictions().Add("SCOPE=LOCAL");
    metaData->Open();
    list.BeginUpdate();
    list.Clear();
    for (int i = 0; i < metaData->RecordCount(); ++i) {
        std::string name = metaData->FieldText(i, "TABLE_NAME");
        if (allTables) {
            for (const char* part : {"TABLE_SCHEMA", "TABLE_CATALOG"}) {
                const std::string prefix = metaData->FieldText(i, part);
                if (!prefix.empty())
                    name = prefix + "." + name;
            }
        }
        list.Add(name);
    }
    list.EndUpdate();
}

void TCustomDAConnection::RegisterClient(TCustomDASQL* command) {
    std::lock_guard<std::recursive_mutex> guard(hRegisterClient);
    if (std::find(FSQLs.begin(), FSQLs.end(), command) == FSQLs.end())
        FSQLs.push_back(command);
}

void TCustomDAConnection::UnRegisterClient(TCustomDASQL* command) {
    std::lock_guard<std::recursive_mutex> guard(hRegisterClient);
    FSQLs.erase(std::remove(FSQLs.begin(), FSQLs.end(), command), FSQLs.end());
}

void TCustomDAConnection::SetIConnection(std::unique_ptr<TCRConnection> connection) {
    FIConnection = std::move(connection);
    if (FIConnection) {
        FIConnection->SetComponent(this);
        FIConnection->SetOnError([this](const Exception& error, bool& fail, int,
                                        TFailOverOperation&, bool&,
                                        bool&) { DoError(error, fail); });
    }
    std::lock_guard<std::recursive_mutex> guard(hRegisterClient);
    for (TCustomDASQL* command : FSQLs)
        command->ProviderConnectionChanged();
}

void TCustomDAConnection::FreeIConnection() {
    if (!FIConnection)
        return;
    std::unique_ptr<TCRConnection> old = std::move(FIConnection);
    SetIConnection(nullptr);
}

bool TCustomDAConnection::IsFatalError(const Exception&) const {
    return false;
}

void TCustomDAConnection::DoError(const Exception& error, bool&) {
    if (!IsFatalError(error))
        return;
    if (FIConnection)
        FIConnection->SetIsValid(false);
    if (FDisconnecting)
        return;
    try {
        Close();
    } catch (const Exception&) {
        // The connection is already lost; the error being reported matters.
    }
}

} // namespace tabellix

// The component bases of the data-access layer: the connection that owns a
// provider-level connection, and the SQL command that runs one text through
// a provider-level command, with its "&" macros and parameters.
#pragma once

#include "base/StringList.h"
#include "base/Variant.h"
#include "crbase/CRAccess.h"
#include "crbase/CRMetaData.h"
#include "crbase/MemData.h"

#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace tabellix {

class TCustomDAConnection;

// The component's error: wraps the provider's EDAError, keeping its message,
// code and component.
class EUniError : public EDAError {
public:
    // inner: the exception being handled (std::current_exception()).
    EUniError(const EDAError& error, std::exception_ptr inner);
    std::exception_ptr InnerError() const { return FInnerError; }
    std::string ClassName() const override { return "EUniError"; }

private:
    std::exception_ptr FInnerError;
};

// Runs operation; an EDAError escaping from it is raised again as an
// EUniError that wraps it.
template <class Operation> void WrapDAErrors(Operation&& operation) {
    try {
        operation();
    } catch (const EUniError&) {
        throw;
    } catch (const EDAError& e) {
        throw EUniError(e, std::current_exception());
    }
}

class TMacro {
public:
    explicit TMacro(std::string name) : FName(std::move(name)) {}
    const std::string& Name() const { return FName; }
    const std::string& Value() const { return FValue; }
    void SetValue(std::string value) { FValue = std::move(value); }
    bool Active() const { return FActive; }
    void SetActive(bool value) { FActive = value; }

private:
    std::string FName;
    std::string FValue;
    bool FActive = true;
};

// The "&" macros found in a command text.
class TMacros {
public:
    int Count() const { return static_cast<int>(FItems.size()); }
    TMacro& Item(int index) { return FItems.at(static_cast<size_t>(index)); }
    // By name, ignoring letter case; nullptr when absent.
    TMacro* FindMacro(const std::string& name);
    const TMacro* FindMacro(const std::string& name) const;
    // Raises "Macro %s not found" when absent.
    TMacro& MacroByName(const std::string& name);

    // Makes the list the names the text uses, in order, keeping the value
    // and state of those already known.
    void Scan(const std::string& text);
    // The text with every "&name" replaced by the active macro's value, or
    // by nothing.
    std::string Expand(const std::string& text) const;

private:
    std::vector<TMacro> FItems;
};

// A parameter of the component: the provider's description of it with the
// value the caller gives (Null until then).
class TDAParam : public TParamDesc {
public:
    explicit TDAParam(std::string name) {
        SetName(std::move(name));
        SetValue(Variant::Null());
    }
    std::string ClassName() const override { return "TDAParam"; }
};

class TDAParams {
public:
    int Count() const { return static_cast<int>(FItems.size()); }
    TDAParam& Item(int index) { return *FItems.at(static_cast<size_t>(index)); }
    TDAParam& Add(std::string name);
    void Clear() { FItems.clear(); }
    TDAParam* FindParam(const std::string& name);
    // Raises "Parameter '%s' not found" when absent.
    TDAParam& ParamByName(const std::string& name);

private:
    std::vector<std::unique_ptr<TDAParam>> FItems;
};

// The SQL command component.
class TCustomDASQL {
public:
    TCustomDASQL();
    virtual ~TCustomDASQL();
    TCustomDASQL(const TCustomDASQL&) = delete;
    TCustomDASQL& operator=(const TCustomDASQL&) = delete;

    TCustomDAConnection* Connection() const { return FConnection; }
    // Registers the command with the connection (and leaves the old one).
    void SetConnection(TCustomDAConnection* connection);

    const std::string& SQL() const { return FSQL; }
    // Every assignment is a change: macros scanned, text assembled,
    // parameters rebuilt.
    void SetSQL(const std::string& text);
    bool ParamCheck() const { return FParamCheck; }
    void SetParamCheck(bool value);
    TDAParams& Params() { return FParams; }
    TDAParam* FindParam(const std::string& name) { return FParams.FindParam(name); }
    TDAParam& ParamByName(const std::string& name) { return FParams.ParamByName(name); }
    TMacros& Macros() { return FMacros; }
    bool Debug() const { return FDebug; }
    void SetDebug(bool value) { FDebug = value; }
    bool AutoCommit() const { return FAutoCommit; }
    int64_t LastInsertId() const { return FLastInsertId; }

    void Execute(int iterations = 1);
    void Prepare();
    void UnPrepare();
    bool Prepared() const;
    bool Executing() const;
    int RowsAffected() const;
    // The text sent to the provider command: trailing control characters
    // and blanks removed, "&" macros expanded.
    virtual std::string GetFinalSQL() const;

    std::function<void(bool succeeded)> AfterExecute;

    // The connection closes: releases the provider-side state.
    void ConnectionClosing();
    // The connection changed its provider connection.
    void ProviderConnectionChanged();
    TCRCommand* ICommand() const { return FICommand.get(); }

protected:
    // Applies the command's option strings to a new provider command.
    virtual void ApplyOptions(TCRCommand&) {}

private:
    // Makes sure the provider command exists and is of the connection's
    // class; true when it was made just now (and so assembled).
    bool CheckICommand();
    void CreateICommand();
    void AssembleSQL();
    void RebuildParams();
    void WriteParams();
    void ExecuteBegin();
    void DoAfterExecute(bool succeeded);

    TCustomDAConnection* FConnection = nullptr;
    std::string FSQL;
    TDAParams FParams;
    bool FParamCheck = true;
    TMacros FMacros;
    bool FDebug = false;
    bool FAutoCommit = true;
    std::unique_ptr<TCRCommand> FICommand;
    TCRCommandClass FICommandClass = nullptr;
    bool FLockAssembleSQL = false;
    bool FLockMacros = false;
    bool FLockScanParams = false;
    int64_t FLastInsertId = 0;
};

// A metadata data set: the rows of one metadata kind, with restrictions,
// read through the connection's provider metadata object.
class TDAMetaData {
public:
    explicit TDAMetaData(TCustomDAConnection* connection = nullptr) : FConnection(connection) {}
    virtual ~TDAMetaData();
    TDAMetaData(const TDAMetaData&) = delete;
    TDAMetaData& operator=(const TDAMetaData&) = delete;

    TCustomDAConnection* Connection() const { return FConnection; }
    void SetConnection(TCustomDAConnection* connection);
    const std::string& MetaDataKind() const { return FMetaDataKind; }
    // A different kind closes the data set.
    void SetMetaDataKind(const std::string& kind);
    TStringList& Restrictions() { return FRestrictions; }

    // Raises "Connection is not defined" without a connection; opens a
    // closed connection for its duration.
    void Open();
    void Close() { FData = nullptr; }
    bool Active() const { return FData != nullptr; }
    int RecordCount() const;
    // The field's value as text; a NULL value gives the empty text.
    std::string FieldText(int recNo, const std::string& fieldName) const;

private:
    void OpenOnce();

    TCustomDAConnection* FConnection;
    std::string FMetaDataKind;
    TStringList FRestrictions;
    std::unique_ptr<TCRMetaData> FIMetaData;
    TCRMetaDataClass FIMetaDataClass = nullptr;
    TMemData* FData = nullptr;
};

struct TDAConnectionOptions {
    bool DisconnectedMode = false;
    bool EnableBCD = false;
    bool EnableFMTBCD = false;
    bool LocalFailover = false;
    bool ConvertEOL = false;
    TSortType DefaultSortType = TSortType::stCaseSensitive;
    bool KeepDesignConnected = true;
};

// The connection component: settings, the provider-level connection it
// owns, the internal command of ExecSQL and the metadata lists.
class TCustomDAConnection {
public:
    TCustomDAConnection();
    virtual ~TCustomDAConnection();
    TCustomDAConnection(const TCustomDAConnection&) = delete;
    TCustomDAConnection& operator=(const TCustomDAConnection&) = delete;

    const std::string& Server() const { return FServer; }
    virtual void SetServer(const std::string& value);
    const std::string& Username() const { return FUsername; }
    void SetUsername(const std::string& value);
    const std::string& Password() const { return FPassword; }
    void SetPassword(const std::string& value);
    const TDAConnectionOptions& Options() const { return FOptions; }
    TDAConnectionOptions& Options() { return FOptions; }
    bool Debug() const { return FDebug; }
    void SetDebug(bool value) { FDebug = value; }
    bool LoginPrompt() const { return FLoginPrompt; }
    void SetLoginPrompt(bool value) { FLoginPrompt = value; }

    virtual bool Connected() const;
    void SetConnected(bool value);
    void Open() { SetConnected(true); }
    void Close() { SetConnected(false); }
    void Connect() { Open(); }
    void Disconnect() { Close(); }

    // Runs one statement through the internal command; the value of its
    // result parameter, or Null.
    Variant ExecSQL(const std::string& text, const std::vector<Variant>& params);

    // Database names, one per line, in the server's order.
    void GetDatabaseNames(TStringList& list);
    // Tables of the current database, or with allTables every visible one
    // qualified by schema.
    void GetTableNames(TStringList& list, bool allTables);

    virtual std::unique_ptr<TCustomDASQL> CreateSQL() = 0;
    virtual std::unique_ptr<TDAMetaData> CreateMetaData();
    // The provider's metadata class.
    virtual TCRMetaDataClass GetIMetaDataClass() = 0;

    // Around each command execution: opens if needed, then ends the use.
    void InternalConnect();
    void InternalDisconnect();
    TCRConnection* IConnection() const { return FIConnection.get(); }
    // The provider's command class for the internal command.
    virtual TCRCommandClass GetICommandClass() = 0;
    // The connection's own pass over a command's text.
    virtual std::string GetFinalSQL(std::string text) { return text; }
    // Whether the provider classifies the error as fatal.
    virtual bool IsFatalError(const Exception& error) const;

    void RegisterClient(TCustomDASQL* command);
    void UnRegisterClient(TCustomDASQL* command);

    std::function<void()> BeforeConnect, AfterConnect, BeforeDisconnect, AfterDisconnect;

protected:
    // The connect and disconnect steps.
    virtual void DoConnect();
    virtual void DoDisconnect();
    // Makes (or reconfigures) the provider-level connection.
    virtual void CreateIConnection() = 0;
    // Stores the provider connection, routes its errors here and hands it
    // to the registered commands; nullptr detaches.
    void SetIConnection(std::unique_ptr<TCRConnection> connection);
    // The provider connection's error hook, before it raises the error.
    virtual void DoError(const Exception& error, bool& fail);
    // Destroys the provider connection (and detaches it from the commands).
    void FreeIConnection();
    void Disconnecting(const std::function<void()>& disconnect);
    bool Destroying() const { return FDestroying; }
    void SetDestroying() { FDestroying = true; }

private:
    void DoOpen();
    void DoClose();
    TCustomDASQL& InternalCommand();

    std::string FServer;
    std::string FUsername;
    std::string FPassword;
    TDAConnectionOptions FOptions;
    bool FDebug = false;
    bool FLoginPrompt = true;
    std::unique_ptr<TCRConnection> FIConnection;
    std::unique_ptr<TCustomDASQL> FCommand;
    std::recursive_mutex hRegisterClient;
    std::vector<TCustomDASQL*> FSQLs;
    int FConnectCount = 0;
    bool FDisconnecting = false;
    bool FDestroying = false;
};

} // namespace tabellix

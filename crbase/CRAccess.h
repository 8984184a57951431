// Provider-level base classes: the connection, transaction and command that
// every provider derives from, their parameter descriptions and SQL helper,
// the generic property codes and the error dispatch.
#pragma once

#include "base/Exception.h"
#include "base/Variant.h"
#include "crbase/CRParser.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace tabellix {

// Generic property codes of SetProp / GetProp.
constexpr int prUsername = 1;
constexpr int prAutoCommit = 5;
constexpr int prScanParams = 11;
constexpr int prRowsAffected = 13;
constexpr int prExecuting = 24;
constexpr int prConvertEOL = 28;
constexpr int prCompressBlobMode = 30;
constexpr int prDisconnectedMode = 31;
constexpr int prDisableParamScan = 32;
constexpr int prQuoteNames = 34;
constexpr int prDatabase = 38;
constexpr int prPort = 39;
constexpr int prEnableBCD = 41;
constexpr int prEnableFMTBCD = 42;
constexpr int prCanReadParams = 43;
constexpr int prIsStoredProc = 45;
constexpr int prIsSelectParams = 46;
constexpr int prDefaultSortType = 48;
constexpr int prLastInsertId = 49;

// What the component repeats after a reconnect.
enum class TFailOverOperation { Unknown, Connect, Execute, Open, Fetch, Apply };

// Raised by the error dispatch when a reconnect succeeded and the error hook
// asked for the operation to be repeated; the component catches it.
class EFailOver : public Exception {
public:
    explicit EFailOver(TFailOverOperation operation);
    TFailOverOperation Operation() const { return FOperation; }
    std::string ClassName() const override { return "EFailOver"; }

private:
    TFailOverOperation FOperation;
};

// A database error: the message, the error code (0 when none) and the
// component it concerns (opaque at this layer). Every provider error derives
// from it, so the component layer can wrap them all alike.
class EDAError : public Exception {
public:
    EDAError(int errorCode, std::string message)
        : Exception(std::move(message)), FErrorCode(errorCode) {}
    explicit EDAError(std::string message) : EDAError(0, std::move(message)) {}
    int ErrorCode() const { return FErrorCode; }
    void* Component() const { return FComponent; }
    void SetComponent(void* component) { FComponent = component; }
    std::string ClassName() const override { return "EDAError"; }

private:
    int FErrorCode;
    void* FComponent = nullptr;
};

enum class TCursorState {
    csInactive,
    csOpen,
    csParsed,
    csPrepared,
    csBound,
    csExecuteFetchAll,
    csExecuting,
    csExecuted,
    csFetching,
    csFetchingAll,
    csFetched
};
enum class TCompressBlobMode { cbNone, cbClient, cbServer, cbClientServer };
enum class TSortType { stCaseSensitive, stCaseInsensitive, stBinary };
enum class TParamDirection { pdUnknown, pdInput, pdOutput, pdInputOutput, pdResult };

// One parameter found in a command text, with what the component writes in.
class TParamDesc {
public:
    virtual ~TParamDesc() = default;
    virtual std::string ClassName() const { return "TParamDesc"; }
    static std::unique_ptr<TParamDesc> Create();

    const std::string& Name() const { return FName; }
    void SetName(std::string value) { FName = std::move(value); }
    // Data type code of the record store; 0 while unknown.
    int DataType() const { return FDataType; }
    void SetDataType(int value) { FDataType = value; }
    TParamDirection ParamType() const { return FParamType; }
    void SetParamType(TParamDirection value) { FParamType = value; }
    int Size() const { return FSize; }
    void SetSize(int value) { FSize = value; }
    const Variant& Value() const { return FValue; }
    void SetValue(Variant value) { FValue = std::move(value); }

private:
    std::string FName;
    int FDataType = 0;
    TParamDirection FParamType = TParamDirection::pdUnknown;
    int FSize = 0;
    Variant FValue;
};

using TParamDescClass = std::unique_ptr<TParamDesc> (*)();
using TParamDescs = std::vector<std::unique_ptr<TParamDesc>>;

// The provider's SQL helper: how it quotes identifiers.
class TSQLInfo {
public:
    virtual ~TSQLInfo() = default;
    virtual std::string ClassName() const { return "TSQLInfo"; }
    static std::unique_ptr<TSQLInfo> Create();

    virtual char LeftQuote() const { return '"'; }
    virtual char RightQuote() const { return '"'; }
    // True when name begins with the left quote and ends with the right one.
    bool IsQuoted(std::string_view name) const;
    // name without its quotes when it is quoted, else name itself.
    std::string UnQuote(std::string_view name) const;
};

using TSQLInfoClass = std::unique_ptr<TSQLInfo> (*)();

class TCRConnection;

// A provider transaction over one or more provider connections.
class TCRTransaction {
public:
    TCRTransaction() = default;
    virtual ~TCRTransaction() = default;
    TCRTransaction(const TCRTransaction&) = delete;
    TCRTransaction& operator=(const TCRTransaction&) = delete;
    virtual std::string ClassName() const { return "TCRTransaction"; }

    virtual void StartTransaction() = 0;
    virtual void Commit() = 0;
    virtual void Rollback() = 0;
    bool GetInTransaction() const { return FActive; }

    // Binding to connections; a connection is bound at most once.
    void AddConnection(TCRConnection* connection);
    void RemoveConnection(TCRConnection* connection);
    int ConnectionCount() const { return static_cast<int>(FConnections.size()); }
    TCRConnection* GetConnection(int index) const;

protected:
    void SetActive(bool value) { FActive = value; }

private:
    std::vector<TCRConnection*> FConnections;
    bool FActive = false;
};

using TCRTransactionClass = std::unique_ptr<TCRTransaction> (*)();

// The error hook: error, fail flag (the hook may clear it), attempt counter,
// then the out-values failover kind, retry-operation flag and reconnect flag
// (the last enters as attempt > 0).
using TErrorProc = std::function<void(const Exception& error, bool& fail, int attempt,
                                      TFailOverOperation& operation, bool& retry, bool& reconnect)>;
using TReconnectProc = std::function<void()>;

// The provider connection. Descendants must call Disconnect in their own
// destructor: the base cannot, since Disconnect is theirs.
class TCRConnection {
public:
    TCRConnection() = default;
    virtual ~TCRConnection();
    TCRConnection(const TCRConnection&) = delete;
    TCRConnection& operator=(const TCRConnection&) = delete;
    virtual std::string ClassName() const { return "TCRConnection"; }

    // Distributed transactions: "MS DTC transactions not supported".
    virtual void Enlist(TCRTransaction* transaction);
    virtual void UnEnlist(TCRTransaction* transaction);
    // Called by a descendant with the error it is about to raise; it raises
    // the error afterwards only when fail is still true.
    virtual void DoError(const Exception& error, bool& fail);
    virtual TCRTransactionClass GetTransactionClass() const = 0;
    // Descendants open the connection first, then call this.
    virtual void Connect(const std::string& connectString);
    virtual void Disconnect() = 0;
    virtual void Assign(const TCRConnection& source);
    virtual void AssignConnect(TCRConnection* source) = 0;
    virtual void SetUsername(std::string value) { FUsername = std::move(value); }
    virtual void SetPassword(std::string value) { FPassword = std::move(value); }
    virtual void SetServer(std::string value) { FServer = std::move(value); }
    // Checks the connection and updates IsValid.
    virtual void CheckIsValid() = 0;
    virtual std::string GetServerVersion() = 0;
    virtual std::string GetServerVersionFull() = 0;
    virtual std::string GetClientVersion() = 0;
    virtual bool CanChangeDatabase() const { return true; }
    // Generic codes; any other fails an assertion naming the code.
    virtual bool SetProp(int prop, const Variant& value);
    virtual bool GetProp(int prop, Variant& value);

    bool GetConnected() const { return FConnected; }
    void SetConnected(bool value);
    // The connection's own transaction, of GetTransactionClass, made and
    // bound on first use.
    TCRTransaction* GetInternalTransaction();
    const std::string& GetUsername() const { return FUsername; }
    const std::string& GetPassword() const { return FPassword; }
    const std::string& GetServer() const { return FServer; }

    const TErrorProc& OnError() const { return FOnError; }
    void SetOnError(TErrorProc hook) { FOnError = std::move(hook); }
    void SetOnReconnectError(TReconnectProc hook) { FOnReconnectError = std::move(hook); }
    void SetOnReconnectSuccess(TReconnectProc hook) { FOnReconnectSuccess = std::move(hook); }
    // The owning component, opaque at this layer; it is only handed back
    // with error reports.
    void* Component() const { return FComponent; }
    void SetComponent(void* component) { FComponent = component; }
    bool IsValid() const { return FIsValid; }
    void SetIsValid(bool value) { FIsValid = value; }
    bool NativeConnection() const { return FNativeConnection; }
    bool Reconnected() const { return FReconnected; }
    uint32_t ConnectionTime() const { return FConnectionTime; }
    bool AutoCommit() const { return FAutoCommit; }
    bool ConvertEOL() const { return FConvertEOL; }
    bool DisconnectedMode() const { return FDisconnectedMode; }
    bool EnableBCD() const { return FEnableBCD; }
    bool EnableFMTBCD() const { return FEnableFMTBCD; }
    TSortType DefaultSortType() const { return FDefaultSortType; }

protected:
    void SetConnectedState(bool value) { FConnected = value; }
    void SetNativeConnection(bool value) { FNativeConnection = value; }

private:
    bool Reconnect(int attempt);
    void NotifyReconnectError();

    TErrorProc FOnError;
    TReconnectProc FOnReconnectError;
    TReconnectProc FOnReconnectSuccess;
    uint32_t FConnectionTime = 0;
    std::unique_ptr<TCRTransaction> FInternalTransaction;
    bool FConnected = false;
    bool FNativeConnection = true;
    std::string FUsername;
    std::string FPassword;
    std::string FServer;
    bool FAutoCommit = false;
    bool FConvertEOL = false;
    bool FIsValid = true;
    void* FComponent = nullptr;
    bool FDisconnectedMode = false;
    bool FEnableBCD = false;
    bool FEnableFMTBCD = false;
    bool FInProcessError = false;
    bool FReconnected = false;
    TSortType FDefaultSortType = TSortType::stCaseSensitive;
};

using TAfterExecuteProc = std::function<void(bool succeeded)>;
using TReadParamsProc = std::function<void()>;

// The provider command: one SQL text, its parameter descriptions and the
// generic parameter scan.
class TCRCommand {
public:
    TCRCommand() = default;
    virtual ~TCRCommand() = default;
    TCRCommand(const TCRCommand&) = delete;
    TCRCommand& operator=(const TCRCommand&) = delete;
    virtual std::string ClassName() const { return "TCRCommand"; }

    // The marker handler, called with parser just past a ":" outside strings,
    // quoted identifiers and comments. Appends the marker's replacement to
    // result (a "?" when it names a parameter, which it then adds to params)
    // and returns whether it named one.
    virtual bool ParseSQLParam(std::string& result, TParser& parser, TParamDescs* params);
    virtual void Prepare() { SetCursorState(TCursorState::csPrepared); }
    virtual void Unprepare() { SetCursorState(TCursorState::csInactive); }
    virtual bool GetPrepared() const = 0;
    virtual void Execute(int iterations = 1) = 0;
    virtual void SetConnection(TCRConnection* connection) { FConnection = connection; }
    virtual void SetTransaction(TCRTransaction* transaction) { FTransaction = transaction; }
    virtual TCursorState GetCursorState() const = 0;
    virtual void SetCursorState(TCursorState state) = 0;
    virtual TSQLInfoClass GetSQLInfoClass() const { return &TSQLInfo::Create; }
    virtual TParserClass GetParserClass() const { return &TSQLParser::Create; }
    // Stores the text and scans it, only when it differs from the last one.
    virtual void SetSQL(const std::string& text);
    // Replaces each parameter marker ":name" outside strings, quoted
    // identifiers and comments by "?", filling params (when given) in order;
    // every other byte of sql is kept.
    virtual std::string ParseSQL(const std::string& sql, TParamDescs* params);
    virtual TParamDescClass GetParamDescType() const { return &TParamDesc::Create; }
    virtual TParamDesc* AddParam();
    // Generic codes; any other fails an assertion naming the code.
    virtual bool SetProp(int prop, const Variant& value);
    virtual bool GetProp(int prop, Variant& value);
    virtual void BreakExec() {}

    TCRConnection* GetConnection() const { return FConnection; }
    TCRTransaction* GetTransaction() const { return FTransaction; }
    void ClearParams() { FParams.clear(); }
    void DeleteParam(int index);
    int GetParamCount() const { return static_cast<int>(FParams.size()); }
    TParamDesc* GetParam(int index) const;
    // By name, ignoring letter case; nullptr when absent.
    TParamDesc* FindParam(std::string_view name) const;

    // The text as sent (markers replaced) and as received.
    const std::string& SQL() const { return FSQL; }
    const std::string& UserSQL() const { return FUserSQL; }
    // The provider's SQL helper, of GetSQLInfoClass, made on first use.
    TSQLInfo& SQLInfo();

    void* Component() const { return FComponent; }
    void SetComponent(void* component) { FComponent = component; }
    const TAfterExecuteProc& AfterExecute() const { return FAfterExecute; }
    void SetAfterExecute(TAfterExecuteProc hook) { FAfterExecute = std::move(hook); }
    const TReadParamsProc& ReadParams() const { return FReadParams; }
    void SetReadParams(TReadParamsProc hook) { FReadParams = std::move(hook); }
    bool Executing() const { return FExecuting; }
    bool AutoCommit() const { return FAutoCommit; }
    bool ScanParams() const { return FScanParams; }
    bool DisableParamScan() const { return FDisableParamScan; }
    bool QuoteNames() const { return FQuoteNames; }
    TCompressBlobMode CompressBlob() const { return FCompressBlob; }
    bool EnableBCD() const { return FEnableBCD; }
    bool EnableFMTBCD() const { return FEnableFMTBCD; }

protected:
    void SetExecuting(bool value) { FExecuting = value; }

private:
    void ScanUserSQL();

    void* FComponent = nullptr;
    TCRConnection* FConnection = nullptr;
    TCRTransaction* FTransaction = nullptr;
    std::string FSQL;
    std::string FUserSQL;
    TParamDescs FParams;
    bool FAutoCommit = false;
    TAfterExecuteProc FAfterExecute;
    bool FExecuting = false;
    bool FScanParams = true;
    bool FDisableParamScan = false;
    bool FQuoteNames = false;
    TCompressBlobMode FCompressBlob = TCompressBlobMode::cbNone;
    bool FEnableBCD = false;
    bool FEnableFMTBCD = false;
    TReadParamsProc FReadParams;
    std::unique_ptr<TSQLInfo> FSQLInfo;
};

// Class references: each makes a new object of its class.
using TCRConnectionClass = std::unique_ptr<TCRConnection> (*)();
using TCRCommandClass = std::unique_ptr<TCRCommand> (*)();

} // namespace tabellix

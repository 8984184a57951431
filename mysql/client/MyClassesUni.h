// The MySQL provider objects: the connection over a client API handle, the
// command that sends one statement, the record set that reads its rows into
// the record store, the transaction, and the provider error.
#pragma once

#include "crbase/CRAccess.h"
#include "crbase/MemData.h"
#include "crbase/MyParserUni.h"
#include "mysql/client/MySqlApiUni.h"

#include <memory>
#include <mutex>
#include <optional>
#include <string>

namespace tabellix {

// MySQL option codes of SetProp / GetProp.
constexpr int prConnectionTimeout = 1001;
constexpr int prFieldsAsString = 1005;
constexpr int prNullForZeroDate = 1006;
constexpr int prCompress = 1007;
constexpr int prCharset = 1009;
constexpr int prProtocol = 1011;
constexpr int prEnableBoolean = 1014;
constexpr int prCreateConnection = 1015;
constexpr int prCommandTimeout = 1016;
constexpr int prOpenNext = 1017;
constexpr int prUseUnicode = 1018;
constexpr int prEmbParams = 1019;
constexpr int prSSLCipher = 1020;
constexpr int prSSLCA = 1021;
constexpr int prSSLKey = 1022;
constexpr int prSSLCert = 1023;
constexpr int prParamPosition = 1027;
constexpr int prFillParamPosition = 1028;
constexpr int prUseHandler = 1029;
constexpr int prEmbedded = 1030;
constexpr int prDirect = 1031;
constexpr int prCheckPrecision = 1032;
constexpr int prOptimizedBigint = 1033;
constexpr int prBinaryAsString = 1034;
constexpr int prCheckBackslashes = 1035;
constexpr int prNeedBackslashes = 1036;
constexpr int prNullForZeroBaseDate = 1041;
constexpr int prSSLVerify = 1042;
constexpr int prGetServerPublicKey = 1043;
constexpr int prServerPublicKey = 1044;
constexpr int prReadTimeout = 1045;
constexpr int prAllowOldPasswords = 1046;
constexpr int prMultiStatements = 1047;
constexpr int prMaxPacketSize = 1048;

enum class TMyProtocol { mpDefault, mpTCP, mpSocket, mpPipe, mpMemory, mpSSL, mpHttp };

// A MySQL error: the server's or the client's code and message.
class EMyError : public EDAError {
public:
    EMyError(int errorCode, std::string message);
    std::string ClassName() const override { return "EMyError"; }
    // For 1064, the last run of digits of the message (the line); else 0.
    int LineNumber() const { return FLineNumber; }
    bool IsFatalError() const;
    bool IsKeyViolation() const;

private:
    int FLineNumber = 0;
};

class TMySQLConnection : public TCRConnection {
public:
    TMySQLConnection();
    ~TMySQLConnection() override;
    std::string ClassName() const override { return "TMySQLConnection"; }

    void DoError(const Exception& error, bool& fail) override;
    TCRTransactionClass GetTransactionClass() const override;
    void Connect(const std::string& connectString) override;
    void Disconnect() override;
    void Assign(const TCRConnection& source) override;
    void AssignConnect(TCRConnection* source) override;
    void CheckIsValid() override;
    std::string GetServerVersion() override;
    std::string GetServerVersionFull() override { return FServerVer; }
    std::string GetClientVersion() override;
    bool SetProp(int prop, const Variant& value) override;
    bool GetProp(int prop, Variant& value) override;

    // Raise through MySQLError on a failed status.
    virtual void Check(const void* status, void* component);
    virtual void Check(int status, void* component);
    virtual void Check(void* component);
    // Raises the handle's error as EMyError (or aborts silently when the
    // error hook clears the fail flag).
    [[noreturn]] void MySQLError(void* component);

    uint32_t GetThreadId();
    // The first column of the first row of a query's result, as text;
    // nothing when the result has no row or the value is NULL.
    std::optional<std::string> QueryValue(const std::string& sql);
    bool IsClient41() const;
    bool IsServer41() const;
    // The API in use; nullptr when the options select a variant not built.
    TMySQLAPI* API() const { return FMySQLAPI; }
    PMYSQL Handle() const { return FMySQL; }
    const std::string& Database() const { return FDatabase; }
    bool UseUnicode() const { return FUseUnicode; }
    bool OptimizedBigInt() const { return FOptimizedBigInt; }
    bool NullForZeroBaseDate() const { return FNullForZeroBaseDate; }
    bool CheckPrecision() const { return FCheckPrecision; }
    bool NeedBackslashes() const { return FNeedBackslashes; }
    int ConnectionTimeout() const { return FConnectionTimeout; }
    bool Additional() const { return FAdditional; }
    void SetAdditional(bool value) { FAdditional = value; }
    int ServerPrimaryVer() const { return FServerPrimaryVer; }
    int ServerMinorVer() const { return FServerMinorVer; }

private:
    friend class TMySQLTransaction;

    void Open();
    void ApplyProtocol();
    std::string HostName() const;
    void SelectAPI();
    void SetDatabase(const std::string& name);
    void ApplyCharset();
    void CheckBackslashes();
    void ExecuteSQL(const std::string& sql);
    [[noreturn]] void RaiseMyError(EMyError& error);

    TMySQLAPI* FMySQLAPI;
    PMYSQL FMySQL = nullptr;
    std::string FDatabase;
    int FPort = 0;
    bool FCompress = false;
    bool FUseUnicode = false;
    std::string FCharset;
    int FConnectionTimeout = 15;
    TMyProtocol FProtocol = TMyProtocol::mpDefault;
    bool FOptimizedBigInt = false;
    bool FNullForZeroBaseDate = false;
    bool FEmbedded = false;
    bool FDirect = true;
    bool FCheckPrecision = false;
    bool FCheckBackslashes = false;
    bool FNeedBackslashes = true;
    bool FAdditional = false;
    std::string FEmbParams;
    std::string FSSL_Chipher, FSSL_CA, FSSL_Key, FSSL_Cert;
    // Off only for a test server whose certificate nobody signed.
    bool FSSL_Verify = true;
    // A server key fetched over a plain link could be a man in the middle's.
    bool FGetServerPublicKey = false;
    std::string FServerPublicKey;
    int FReadTimeout = 60;
    bool FAllowOldPasswords = false;
    int FMaxPacketSize = 64 << 20;
    // Several statements in one text: asked for only on request, since no
    // statement of this program needs them.
    bool FMultiStatements = false;
    std::string FServerVer;
    int FServerPrimaryVer = 0;
    int FServerMinorVer = 0;
    int FServerReleaseVer = 0;
};

// Statements of every connection bound to it, in one transaction.
class TMySQLTransaction : public TCRTransaction {
public:
    static std::unique_ptr<TCRTransaction> Create();
    std::string ClassName() const override { return "TMySQLTransaction"; }
    void StartTransaction() override;
    void Commit() override;
    void Rollback() override;

private:
    void ExecuteOnAll(const std::string& sql);
};

using TOnExecuteProc = std::function<void(const std::string& sql)>;

class TMySQLCommand : public TCRCommand {
public:
    TMySQLCommand() = default;
    std::string ClassName() const override { return "TMySQLCommand"; }

    bool GetPrepared() const override { return false; }
    void Prepare() override;
    void Execute(int iterations = 1) override;
    void SetConnection(TCRConnection* connection) override;
    TCursorState GetCursorState() const override { return FCursorState; }
    void SetCursorState(TCursorState state) override { FCursorState = state; }
    // Also forgets the parameter positions unless they are being filled.
    void SetSQL(const std::string& text) override;
    // Text without ":" is its own result, with no parameters.
    std::string ParseSQL(const std::string& sql, TParamDescs* params) override;
    // The MySQL lexer: backslash escapes keep a value such as 'it\'s :x'
    // one string, so no marker is found inside it.
    TParserClass GetParserClass() const override { return &TMyParser::Create; }
    bool SetProp(int prop, const Variant& value) override;
    bool GetProp(int prop, Variant& value) override;
    // From another thread: kills the running statement through a second
    // connection; the Execute ends with the silent abort.
    void BreakExec() override;

    TMySQLConnection* Connection() const { return FConnection; }
    int RowsAffected() const { return FRowsAffected; }
    int CommandTimeout() const { return FCommandTimeout; }
    void SetCommandTimeout(int seconds) { FCommandTimeout = seconds; }
    void SetRequestResultset(bool value) { FRequestResultset = value; }
    bool OpenNext() const { return FOpenNext; }
    void SetOnExecute(TOnExecuteProc hook) { FOnExecute = std::move(hook); }
    PMYSQL_RES SQLResult() const { return FSQLResult; }

private:
    friend class TMySQLRecordset;

    void ExecuteText();
    void ShiftRowsAffected();
    void DrainResults();
    void TakeResult();
    void EndExecute();

    TMySQLConnection* FConnection = nullptr;
    int FCommandTimeout = 0;
    TCursorState FCursorState = TCursorState::csInactive;
    int FRowsAffected = -1;
    int FRowsAffectedPrev = 0;
    bool FStoredProc = false;
    bool FCanReadParams = false;
    bool FIsSelectParams = false;
    bool FRequestResultset = false;
    std::vector<int> FParamPositions;
    bool FFillParamPosition = false;
    bool FOpenNext = false;
    TOnExecuteProc FOnExecute;
    PMYSQL_RES FSQLResult = nullptr;
    std::mutex FBreakExecCS;
    bool FWaitForBreak = false;
};

enum class TOpenNextState { osNotChecked, osMoreResults, osNoMoreResults, osError };

class TMySQLRecordset : public TCRRecordSet {
public:
    TMySQLRecordset();
    ~TMySQLRecordset() override;
    std::string ClassName() const override { return "TMySQLRecordset"; }

    void Open() override;
    void Close() override;
    bool GetNextRecord() override;
    void FetchAll() override;
    bool SetProp(int prop, const Variant& value) override;
    bool GetProp(int prop, Variant& value) override;

    void SetConnection(TMySQLConnection* connection);
    void SetSQL(const std::string& text) { FCommand->SetSQL(text); }
    TMySQLCommand& Command() { return *FCommand; }
    TOpenNextState OpenNextState() const { return FOpenNextState; }
    // At most this many rows are kept (0: no cap); one more is error 2008
    // and costs the connection, since the rest cannot be skipped safely.
    void SetMaxRows(int rows) { FMaxRows = rows; }

private:
    TMySQLConnection& Connection() const;
    TMySQLAPI& API() const;
    void UseAdditionalConnection();
    void ReleaseAdditionalConnection();
    void ExecuteCommand();
    void DescribeFields();
    TFieldDesc DescribeField(const TMYSQL_FIELD& f) const;
    TDataType MapType(const TMYSQL_FIELD& f, bool& fixed) const;
    TDataType MapDecimal(const TMYSQL_FIELD& f) const;
    void ReadRow(PMYSQL_RES result, PMYSQL_ROW row);
    [[noreturn]] void RefuseMoreRows();
    void StoreValue(TRecordBuffer record, int field, const uint8_t* bytes, size_t length);
    void StoreDate(TRecordBuffer record, int field, const std::string& text);
    void CloseResult();
    void ReadNextResult();
    void DiscardResults();

    std::unique_ptr<TMySQLCommand> FCommand;
    TMySQLConnection* FConnectionSwap = nullptr;
    std::unique_ptr<TMySQLConnection> FAdditionalConnection;
    bool FNullForZeroDate = true;
    bool FFieldsAsString = false;
    bool FEnableBoolean = true;
    bool FBinaryAsString = true;
    bool FCreateConnection = true;
    bool FUseHandler = false;
    std::vector<uint32_t> FValueBuffLen;
    TOpenNextState FOpenNextState = TOpenNextState::osNotChecked;
    PMYSQL_RES FSQLResultNext = nullptr;
    int FRowsAffectedNext = 0;
    int FMaxRows = 0;
};

// UTF-8 bytes as 16-bit units, at most capacity - 1 of them; raises
// EDAError for a malformed or cut sequence.
std::u16string DecodeUtf8Wide(const uint8_t* bytes, size_t length, size_t capacity);

} // namespace tabellix

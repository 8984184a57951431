#include "mysql/client/MyClassesUni.h"

#include "base/Format.h"
#include "base/Text.h"
#include "mysql/client/MySqlApiDirectUni.h"
#include "mysql/protocol/CRVioTcp.h"
#include "mysql/protocol/MySqlCodes.h"

#include <cctype>

namespace tabellix {
namespace {

[[noreturn]] void SilentAbort() {
    throw EAbort("Operation aborted");
}

// The value of the last run of digits of text; 0 when none or too long.
int LastNumber(const std::string& text) {
    size_t end = text.size();
    while (end > 0 && !std::isdigit(static_cast<unsigned char>(text[end - 1])))
        --end;
    size_t begin = end;
    while (begin > 0 && std::isdigit(static_cast<unsigned char>(text[begin - 1])))
        --begin;
    return TryStrToInt(std::string_view(text).substr(begin, end - begin)).value_or(0);
}

std::string ReplaceBackslashes(std::string text) {
    for (char& c : text)
        if (c == '\\')
            c = '/';
    return text;
}

} // namespace

// ---- EMyError

EMyError::EMyError(int errorCode, std::string message) : EDAError(errorCode, std::move(message)) {
    if (errorCode == ER_PARSE_ERROR)
        FLineNumber = LastNumber(Message());
}

// The codes after which the connection is unusable: the server shut down or
// cannot be reached, or the stream broke (lost, out of order, malformed),
// which has closed the transport.
bool EMyError::IsFatalError() const {
    switch (ErrorCode()) {
    case ER_SERVER_SHUTDOWN:
    case ER_NET_PACKETS_OUT_OF_ORDER:
    case CR_CONN_HOST_ERROR:
    case CR_SERVER_GONE_ERROR:
    case CR_SERVER_LOST:
    case CR_MALFORMED_PACKET:
        return true;
    default:
        return false;
    }
}

bool EMyError::IsKeyViolation() const {
    return ErrorCode() == ER_DUP_ENTRY;
}

// ---- TMySQLConnection

TMySQLConnection::TMySQLConnection() : FMySQLAPI(&MyAPIDirect()) {}

TMySQLConnection::~TMySQLConnection() {
    Disconnect();
}

// An additional connection's errors go to the hook once, without reconnecting.
void TMySQLConnection::DoError(const Exception& error, bool& fail) {
    if (!FAdditional) {
        TCRConnection::DoError(error, fail);
        return;
    }
    if (!OnError())
        return;
    TFailOverOperation operation = TFailOverOperation::Unknown;
    bool retry = false;
    bool reconnect = false;
    OnError()(error, fail, 0, operation, retry, reconnect);
}

TCRTransactionClass TMySQLConnection::GetTransactionClass() const {
    return &TMySQLTransaction::Create;
}

void TMySQLConnection::SelectAPI() {
    FMySQLAPI = !FEmbedded && FDirect ? &MyAPIDirect() : nullptr;
}

void TMySQLConnection::Connect(const std::string&) {
    if (GetConnected())
        return;
    FServerVer.clear();
    FServerPrimaryVer = 0;
    FServerMinorVer = 0;
    if (!FMySQLAPI)
        throw EDAError("Only the direct MySQL protocol is available: the client library and "
                       "the embedded server are not built (set Direct to True and Embedded "
                       "to False)");
    FMySQLAPI->CheckMySQLLib();
    try {
        Open();
    } catch (const EFailOver&) {
        return;
    } catch (...) {
        try {
            Disconnect();
        } catch (const Exception&) {
            // The first error is the one to report.
        }
        throw;
    }
}

// The connect steps after the library check.
void TMySQLConnection::Open() {
    if (FMySQL)
        Disconnect();
    FMySQL = FMySQLAPI->mysql_init(nullptr);
    Check(FMySQL, Component());
    Check(FMySQLAPI->mysql_options(FMySQL, MYSQL_OPT_CONNECT_TIMEOUT, FConnectionTimeout),
          Component());
    ApplyProtocol();
    Check(FMySQLAPI->mysql_options(FMySQL, MYSQL_OPT_GET_SERVER_PUBLIC_KEY, FGetServerPublicKey),
          Component());
    Check(FMySQLAPI->mysql_options(FMySQL, MYSQL_SERVER_PUBLIC_KEY, TextToAnsi(FServerPublicKey)),
          Component());
    Check(FMySQLAPI->mysql_options(FMySQL, MYSQL_OPT_ANSWER_TIMEOUT, FReadTimeout), Component());
    Check(FMySQLAPI->mysql_options(FMySQL, MYSQL_SET_CHARSET_NAME, TextToAnsi(FCharset)),
          Component());
    Check(FMySQLAPI->mysql_options(FMySQL, MYSQL_OPT_ALLOW_OLD_PASSWORDS, FAllowOldPasswords),
          Component());
    Check(FMySQLAPI->mysql_options(FMySQL, MYSQL_OPT_MAX_PACKET, FMaxPacketSize), Component());
    uint32_t flags = CLIENT_FLAG_FOUND_ROWS;
    if (FMultiStatements)
        flags |= CLIENT_FLAG_MULTI_STATEMENTS;
    if (FCompress)
        flags |= CLIENT_FLAG_COMPRESS;
    Check(FMySQLAPI->mysql_real_connect(FMySQL, TextToAnsi(HostName()), TextToAnsi(GetUsername()),
                                        TextToAnsi(GetPassword()), TextToAnsi(FDatabase),
                                        static_cast<unsigned>(FPort), std::string(), flags),
          Component());
    SetConnectedState(true);
    SetNativeConnection(true);
    TCRConnection::Connect("");
    FServerVer = AnsiToText(FMySQLAPI->mysql_get_server_info(FMySQL));
    const TMySqlVersion v = ParseMySqlVersion(FServerVer);
    FServerPrimaryVer = v.Major;
    FServerMinorVer = v.Minor;
    FServerReleaseVer = v.Release;
    ApplyCharset();
    CheckBackslashes();
}

void TMySQLConnection::ApplyProtocol() {
    const int number = static_cast<int>(FProtocol);
    switch (FProtocol) {
    case TMyProtocol::mpDefault:
        return;
    case TMyProtocol::mpSSL:
        FSSL_Key = ReplaceBackslashes(FSSL_Key);
        FSSL_Cert = ReplaceBackslashes(FSSL_Cert);
        FSSL_CA = ReplaceBackslashes(FSSL_CA);
        Check(FMySQLAPI->mysql_ssl_set(FMySQL, TextToAnsi(FSSL_Key), TextToAnsi(FSSL_Cert),
                                       TextToAnsi(FSSL_CA), std::string(),
                                       TextToAnsi(FSSL_Chipher)),
              Component());
        Check(FMySQLAPI->mysql_options(FMySQL, MYSQL_OPT_SSL_VERIFY_SERVER_CERT, FSSL_Verify),
              Component());
        return;
    case TMyProtocol::mpHttp:
        throw EDAError("Wrong protocol");
    default:
        break;
    }
    if (!IsClient41()) {
        if (FProtocol == TMyProtocol::mpPipe)
            Check(FMySQLAPI->mysql_options(FMySQL, MYSQL_OPT_NAMED_PIPE, 0), Component());
        return;
    }
    Check(FMySQLAPI->mysql_options(FMySQL, MYSQL_OPT_PROTOCOL, number), Component());
}

std::string TMySQLConnection::HostName() const {
    const std::string& server = GetServer();
    if (server.empty())
        return TCRVioTcp::LoopbackHost;
    return server.substr(0, server.find(','));
}

void TMySQLConnection::Disconnect() {
    if (FMySQL && NativeConnection())
        FMySQLAPI->mysql_close(FMySQL);
    FMySQL = nullptr;
    SetConnectedState(false);
}

void TMySQLConnection::ApplyCharset() {
    if (!IsServer41())
        FUseUnicode = false;
    else if (FUseUnicode)
        ExecuteSQL("SET NAMES utf8");
    else if (!FCharset.empty())
        ExecuteSQL("SET NAMES " + FCharset);
}

void TMySQLConnection::CheckBackslashes() {
    if (!FCheckBackslashes) {
        FNeedBackslashes = true;
        return;
    }
    const std::string mode = QueryValue("SELECT @@SESSION.sql_mode").value_or("");
    FNeedBackslashes = AsciiUpper(mode).find("NO_BACKSLASH_ESCAPES") == std::string::npos;
}

std::optional<std::string> TMySQLConnection::QueryValue(const std::string& sql) {
    TMySQLRecordset rs;
    rs.SetConnection(this);
    rs.SetProp(prFetchAll, true);
    rs.SetSQL(sql);
    rs.Open();
    std::optional<std::string> value;
    if (rs.RecordCount() > 0 && rs.FieldCount() > 0 && !rs.GetNull(0, 0))
        value = rs.GetFieldAsVariant(0, 0).AsString();
    rs.Close();
    return value;
}

void TMySQLConnection::ExecuteSQL(const std::string& sql) {
    TMySQLCommand command;
    command.SetConnection(this);
    command.SetComponent(Component());
    command.SetSQL(sql);
    command.SetCommandTimeout(FConnectionTimeout);
    command.Execute(1);
}

void TMySQLConnection::SetDatabase(const std::string& name) {
    if (name == FDatabase)
        return;
    FDatabase = name;
    if (GetConnected() && !name.empty())
        Check(FMySQLAPI->mysql_select_db(FMySQL, TextToAnsi(name)), Component());
}

void TMySQLConnection::Assign(const TCRConnection& source) {
    TCRConnection::Assign(source);
    const auto* src = dynamic_cast<const TMySQLConnection*>(&source);
    if (!src)
        return;
    FConnectionTimeout = src->FConnectionTimeout;
    FDatabase = src->FDatabase;
    FPort = src->FPort;
    FCompress = src->FCompress;
    FUseUnicode = src->FUseUnicode;
    FCharset = src->FCharset;
    FProtocol = src->FProtocol;
    FMySQLAPI = src->FMySQLAPI;
    FDirect = src->FDirect;
    FEmbedded = src->FEmbedded;
    FOptimizedBigInt = src->FOptimizedBigInt;
    FNullForZeroBaseDate = src->FNullForZeroBaseDate;
    FCheckPrecision = src->FCheckPrecision;
    // A second connection to a TLS server (a statement break) needs the same trust.
    FSSL_Chipher = src->FSSL_Chipher;
    FSSL_CA = src->FSSL_CA;
    FSSL_Key = src->FSSL_Key;
    FSSL_Cert = src->FSSL_Cert;
    FSSL_Verify = src->FSSL_Verify;
    FGetServerPublicKey = src->FGetServerPublicKey;
    FServerPublicKey = src->FServerPublicKey;
    FReadTimeout = src->FReadTimeout;
    FAllowOldPasswords = src->FAllowOldPasswords;
    FMultiStatements = src->FMultiStatements;
    FMaxPacketSize = src->FMaxPacketSize;
}

// The borrowed handle stays the source's: it is never closed from here.
void TMySQLConnection::AssignConnect(TCRConnection* source) {
    auto* src = dynamic_cast<TMySQLConnection*>(source);
    if (!src)
        throw EAssertionFailed("TMySQLConnection.AssignConnect: not a MySQL connection");
    Disconnect();
    Assign(*src);
    FMySQL = src->FMySQL;
    FServerVer = src->FServerVer;
    FServerPrimaryVer = src->FServerPrimaryVer;
    FServerMinorVer = src->FServerMinorVer;
    FServerReleaseVer = src->FServerReleaseVer;
    SetConnectedState(true);
    SetNativeConnection(false);
}

// Valid means two pings in a row, both answered: that is the check's defined
// form and the exchange a peer sees on the wire, so it is not cut to one.
void TMySQLConnection::CheckIsValid() {
    SetIsValid(FMySQLAPI && FMySQL && FMySQLAPI->mysql_ping(FMySQL) == 0 &&
               FMySQLAPI->mysql_ping(FMySQL) == 0);
}

std::string TMySQLConnection::GetServerVersion() {
    return Format("%d.%d.%d", {FServerPrimaryVer, FServerMinorVer, FServerReleaseVer});
}

std::string TMySQLConnection::GetClientVersion() {
    return FMySQLAPI ? FMySQLAPI->ClientVer() : std::string();
}

uint32_t TMySQLConnection::GetThreadId() {
    return FMySQLAPI->mysql_thread_id(FMySQL);
}

bool TMySQLConnection::IsClient41() const {
    if (!FMySQLAPI)
        return false;
    const TClientStructVer v = FMySQLAPI->ClientStructVer();
    return v == TClientStructVer::cvDirect || v == TClientStructVer::cv410 ||
           v == TClientStructVer::cv411;
}

bool TMySQLConnection::IsServer41() const {
    return FServerPrimaryVer > 4 || (FServerPrimaryVer == 4 && FServerMinorVer > 0);
}

bool TMySQLConnection::SetProp(int prop, const Variant& value) {
    switch (prop) {
    case prDatabase:
        SetDatabase(value.AsString());
        return true;
    case prPort:
        FPort = value.AsInteger();
        return true;
    case prConnectionTimeout:
        FConnectionTimeout = value.AsInteger();
        return true;
    case prCompress:
        FCompress = value.AsBoolean();
        return true;
    case prCharset:
        if (value.AsString() != FCharset) {
            FCharset = value.AsString();
            if (GetConnected() && !FUseUnicode)
                ApplyCharset();
        }
        return true;
    case prProtocol:
        FProtocol = static_cast<TMyProtocol>(value.AsInteger());
        return true;
    case prUseUnicode:
        if (value.AsBoolean() != FUseUnicode) {
            FUseUnicode = value.AsBoolean();
            if (GetConnected())
                ApplyCharset();
        }
        return true;
    case prEmbParams:
        FEmbParams = Trim(value.AsString());
        return true;
    case prSSLCipher:
        FSSL_Chipher = value.AsString();
        return true;
    case prSSLCA:
        FSSL_CA = value.AsString();
        return true;
    case prSSLKey:
        FSSL_Key = value.AsString();
        return true;
    case prSSLCert:
        FSSL_Cert = value.AsString();
        return true;
    case prSSLVerify:
        FSSL_Verify = value.AsBoolean();
        return true;
    case prGetServerPublicKey:
        FGetServerPublicKey = value.AsBoolean();
        return true;
    case prServerPublicKey:
        FServerPublicKey = value.AsString();
        return true;
    case prReadTimeout:
        FReadTimeout = value.AsInteger();
        return true;
    case prAllowOldPasswords:
        FAllowOldPasswords = value.AsBoolean();
        return true;
    case prMultiStatements:
        FMultiStatements = value.AsBoolean();
        return true;
    case prMaxPacketSize:
        FMaxPacketSize = value.AsInteger();
        return true;
    case prEmbedded:
        FEmbedded = value.AsBoolean();
        SelectAPI();
        return true;
    case prDirect:
        FDirect = value.AsBoolean();
        SelectAPI();
        return true;
    case prCheckPrecision:
        FCheckPrecision = value.AsBoolean();
        return true;
    case prOptimizedBigint:
        FOptimizedBigInt = value.AsBoolean();
        return true;
    case prCheckBackslashes:
        if (value.AsBoolean() != FCheckBackslashes) {
            FCheckBackslashes = value.AsBoolean();
            if (GetConnected())
                CheckBackslashes();
        }
        return true;
    case prNullForZeroBaseDate:
        FNullForZeroBaseDate = value.AsBoolean();
        return true;
    default:
        return TCRConnection::SetProp(prop, value);
    }
}

bool TMySQLConnection::GetProp(int prop, Variant& value) {
    switch (prop) {
    case prDatabase:
        value = FDatabase;
        return true;
    case prPort:
        value = FPort;
        return true;
    case prLastInsertId:
        value = FMySQL ? FMySQLAPI->mysql_insert_id(FMySQL) : int64_t{0};
        return true;
    case prConnectionTimeout:
        value = FConnectionTimeout;
        return true;
    case prCompress:
        value = FCompress;
        return true;
    case prCharset:
        value = FCharset;
        return true;
    case prUseUnicode:
        value = FUseUnicode;
        return true;
    case prCheckBackslashes:
        value = FCheckBackslashes;
        return true;
    case prNeedBackslashes:
        value = FNeedBackslashes;
        return true;
    default:
        return TCRConnection::GetProp(prop, value);
    }
}

void TMySQLConnection::Check(const void* status, void* component) {
    if (!status)
        MySQLError(component);
}

void TMySQLConnection::Check(int status, void* component) {
    if (status != 0)
        MySQLError(component);
}

void TMySQLConnection::Check(void* component) {
    if (FMySQLAPI->mysql_errno(FMySQL) != 0)
        MySQLError(component);
}

void TMySQLConnection::MySQLError(void* component) {
    const int code = static_cast<int>(FMySQLAPI->mysql_errno(FMySQL));
    const std::string bytes = FMySQLAPI->mysql_error(FMySQL);
    EMyError error(code, FUseUnicode ? bytes : AnsiToText(bytes));
    error.SetComponent(component);
    RaiseMyError(error);
}

void TMySQLConnection::RaiseMyError(EMyError& error) {
    bool fail = true;
    if (OnError())
        DoError(error, fail);
    if (fail)
        throw error;
    SilentAbort();
}

// ---- TMySQLTransaction

std::unique_ptr<TCRTransaction> TMySQLTransaction::Create() {
    return std::make_unique<TMySQLTransaction>();
}

void TMySQLTransaction::ExecuteOnAll(const std::string& sql) {
    for (int i = 0; i < ConnectionCount(); ++i) {
        auto* connection = dynamic_cast<TMySQLConnection*>(GetConnection(i));
        if (!connection)
            throw EAssertionFailed("TMySQLTransaction: not a MySQL connection");
        connection->ExecuteSQL(sql);
    }
}

void TMySQLTransaction::StartTransaction() {
    ExecuteOnAll("START TRANSACTION");
    SetActive(true);
}

void TMySQLTransaction::Commit() {
    ExecuteOnAll("COMMIT");
    SetActive(false);
}

void TMySQLTransaction::Rollback() {
    ExecuteOnAll("ROLLBACK");
    SetActive(false);
}

} // namespace tabellix

// One client connection: the handshake, the command exchanges and the
// reading of their answers.
#pragma once

#include "mysql/protocol/MySqlAuthPlugins.h"
#include "mysql/protocol/MySqlNetUni.h"
#include "mysql/protocol/MySqlResultSetUni.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tabellix {

enum class TServerCommand : uint8_t {
    scSleep,
    scQuit,
    scInitDb,
    scQuery,
    scFieldList,
    scCreateDb,
    scDropDb,
    scRefresh,
    scShutdown,
    scStatistics,
    scProcessInfo,
    scConnect,
    scProcessKill,
    scDebug,
    scPing,
    scTime,
    scDelayedInsert,
    scChangeUser,
    scBunLogDump,
    scTableDump,
    scConnectOut,
    scRegisterSlave,
    scPrepare,
    scExecute,
    scLongData,
    scCloseStmt,
};

enum class TMySqlStatus { msReady = 0, msGetResult = 1, msUseResult = 2 };

enum MYSQL_PROTOCOL_TYPE {
    MYSQL_PROTOCOL_DEFAULT = 0,
    MYSQL_PROTOCOL_TCP = 1,
    MYSQL_PROTOCOL_SOCKET = 2,
    MYSQL_PROTOCOL_PIPE = 3,
    MYSQL_PROTOCOL_MEMORY = 4,
    MYSQL_PROTOCOL_SSL = 5,
};

// Capability flags.
constexpr uint32_t CLIENT_LONG_PASSWORD = 0x1;
constexpr uint32_t CLIENT_FOUND_ROWS = 0x2;
constexpr uint32_t CLIENT_LONG_FLAG = 0x4;
constexpr uint32_t CLIENT_CONNECT_WITH_DB = 0x8;
constexpr uint32_t CLIENT_COMPRESS = 0x20;
constexpr uint32_t CLIENT_LOCAL_FILES = 0x80;
constexpr uint32_t CLIENT_PROTOCOL_41 = 0x200;
constexpr uint32_t CLIENT_SSL = 0x800;
constexpr uint32_t CLIENT_TRANSACTIONS = 0x2000;
constexpr uint32_t CLIENT_SECURE_CONNECTION = 0x8000;
constexpr uint32_t CLIENT_MULTI_STATEMENTS = 0x10000;
constexpr uint32_t CLIENT_MULTI_RESULTS = 0x20000;
constexpr uint32_t CLIENT_PLUGIN_AUTH = 0x80000;
constexpr uint32_t CLIENT_PLUGIN_AUTH_LENENC_CLIENT_DATA = 0x200000;

// Server status bits.
constexpr int SERVER_STATUS_AUTOCOMMIT = 2;
constexpr int SERVER_MORE_RESULTS_EXISTS = 8;
constexpr int SERVER_STATUS_NO_BACKSLASH_ESCAPES = 0x200;

// Collation numbers of the login packet.
constexpr uint8_t CollationLatin1 = 8;
constexpr uint8_t CollationUtf8mb4 = 45;

class TCRVioTls;
struct TLocalRows;

class TMySqlSession {
public:
    TMySqlSession();
    ~TMySqlSession();
    TMySqlSession(const TMySqlSession&) = delete;
    TMySqlSession& operator=(const TMySqlSession&) = delete;

    // Opens the transport, reads the greeting and logs in; raises EMySqlException.
    void Connect(const std::string& host, const std::string& user, const std::string& passwd,
                 const std::string& db, unsigned port, const std::string& unix_socket,
                 uint32_t clientflag);

    // Commands.
    void WriteCommand(TServerCommand command);
    void SimpleCommand(TServerCommand command, const uint8_t* args, int length, bool skipCheck);
    void ReadQueryResult();
    void FreeQuery();
    void SelectDb(const std::string& database);
    void Ping();
    std::string Statistics();
    void Close();

    // State read and set by the client layer.
    TMySqlNet& net() { return Fnet; }
    uint32_t Errno() const { return Ferrno; }
    void SetErrno(uint32_t value) { Ferrno = value; }
    const std::string& Error() const { return Ferror; }
    void SetError(std::string value) { Ferror = std::move(value); }
    TMySqlResultSet* ResultSet() const { return FResultSet; }
    void SetResultSet(TMySqlResultSet* value) { FResultSet = value; }
    // Closed by Close, or by a read or decode fault that abandoned the transport.
    bool IsClosed() const { return isClosed || Fnet.Broken(); }
    const std::string& Host() const { return host; }
    void SetHost(std::string value) { host = std::move(value); }
    void SetUser(std::string value) { user = std::move(value); }
    void SetPassword(std::string value) { password = std::move(value); }
    const std::string& Database() const { return database; }
    const std::string& ServerVersion() const { return serverVersion; }
    const std::string& HostInfo() const { return hostInfo; }
    const std::string& Info() const { return info; }
    uint32_t ClientFlag() const { return clientFlag; }
    void SetClientFlag(uint32_t value) { clientFlag = value; }
    int Port() const { return port; }
    void SetPort(int value) { port = value; }
    int ConnectTimeout() const { return _connectTimeout; }
    void SetConnectTimeout(int seconds) { _connectTimeout = seconds; }
    int CommandTimeout() const { return commandTimeout; }
    void SetCommandTimeout(int seconds) { commandTimeout = seconds; }
    // Seconds a read may wait for the server after a command whose own
    // time-out is 0; 0 waits for ever.
    int ReadTimeout() const { return FReadTimeout; }
    void SetReadTimeout(int seconds) { FReadTimeout = seconds; }
    // The largest packet taken after the login (at most the 1 GiB announced).
    void SetMaxPacket(size_t bytes) { FMaxPacket = bytes; }
    // The pre-4.1 password scramble is refused unless allowed.
    void SetAllowOldPasswords(bool value) { FAllowOldPasswords = value; }
    // The collation number the login packet announces.
    void SetLoginCollation(uint8_t value) { FLoginCollation = value; }
    int ThreadId() const { return threadId; }
    int ServerCapabilities() const { return serverCapabilities; }
    int ServerStatus() const { return serverStatus; }
    void SetServerStatus(int value) { serverStatus = value; }
    int ServerLanguage() const { return serverLanguage; }
    int WarningCount() const { return warningCount; }
    TMySqlStatus Status() const { return status; }
    void SetStatus(TMySqlStatus value) { status = value; }
    const uint8_t* ScrambleBuff() const { return scrambleBuff.data(); }
    MYSQL_PROTOCOL_TYPE ProtocolType() const { return protocolType; }
    void SetProtocolType(MYSQL_PROTOCOL_TYPE value) { protocolType = value; }
    TMySqlFieldInfos& Fields() { return fields; }
    int64_t AffectedRows() const { return affectedRows; }
    void SetAffectedRows(int64_t value) { affectedRows = value; }
    int64_t InsertId() const { return insertId; }
    int64_t ExtraInfo() const { return extraInfo; }
    int FieldCount() const { return fieldCount; }
    void SetSSL(std::string key, std::string cert, std::string ca, std::string capath,
                std::string cipher);
    void SetSSLVerify(bool value) { FSSLVerify = value; }
    void SetGetServerPublicKey(bool value) { FGetServerPublicKey = value; }
    void SetServerPublicKeyFile(std::string path) { FServerPublicKeyFile = std::move(path); }
    // Rows answering the program's own LOAD DATA statement; nullptr for none.
    // Not owned: the caller keeps them until the statement has run.
    void SetLocalRows(const TLocalRows* rows) { FLocalRows = rows; }
    bool SkipPacket() const { return FSkipPacket; }
    void SetSkipPacket(bool value) { FSkipPacket = value; }
    bool protocol41() const;

private:
    friend class TMySqlResultSet;

    void OpenTransport(const std::string& hostName, int64_t portNumber);
    void ReadGreeting();
    void CheckGreeting(int afterSalt);
    std::string OldScramble(const std::string& passwd);
    void ReadLoginStatus();
    void KeepBackslashEscapes();
    uint32_t ChooseFlags(uint32_t clientflag) const;
    void WriteLoginHeader(uint32_t flags);
    void StartTls(uint32_t flags, const std::string& hostName);
    void WriteLogin(uint32_t flags, const std::string& userName, const std::string& passwd,
                    const std::string& db, TAuthPlugin* plugin);
    bool WriteAuthentication(const std::string& passwd);
    void WritePluginLogin(const std::string& db, TAuthPlugin& plugin);
    void WriteBytes(std::string_view bytes);
    void SendWiped();
    void FinishLogin(const std::string& passwd);
    void AnswerNewSalt(const std::string& passwd);
    void PluginExchange(const std::string& passwd, TAuthContext& context,
                        std::unique_ptr<TAuthPlugin>& plugin);
    std::unique_ptr<TAuthPlugin> SwitchPlugin(const TAuthContext& context, TSecretBytes& reply);
    void ReadOk();
    void ReadResultSetHeader(int64_t count);
    void SendLocalFile();
    void SkipRows();
    void RememberLocalFileStatement(TServerCommand command, const uint8_t* args, int length);

    uint32_t Ferrno = 0;
    std::string Ferror;
    bool isClosed = false;
    TMySqlResultSet* FResultSet = nullptr;
    TMySqlNet Fnet;
    std::string host;
    std::string user;
    std::string password;
    std::string database;
    std::string serverVersion;
    std::string hostInfo;
    std::string info;
    uint32_t clientFlag = 0;
    int port = 0;
    int _connectTimeout = 0;
    int commandTimeout = 0;
    int FReadTimeout = 60;
    size_t FMaxPacket = TMySqlNet::DefaultPacketLimit;
    bool FAllowOldPasswords = false;
    uint8_t FLoginCollation = CollationLatin1;
    int threadId = 0;
    int serverCapabilities = 0;
    int serverStatus = 0;
    int serverLanguage = 0;
    int warningCount = 0;
    TMySqlStatus status = TMySqlStatus::msReady;
    std::array<uint8_t, 20> scrambleBuff{};
    bool FFullSalt = false;
    // The plugin the greeting names (with CLIENT_PLUGIN_AUTH), else empty.
    std::string FGreetingPlugin;
    // The TLS layer of the transport, when the protocol type is SSL.
    TCRVioTls* FTls = nullptr;
    MYSQL_PROTOCOL_TYPE protocolType = MYSQL_PROTOCOL_DEFAULT;
    TMySqlFieldInfos fields;
    int64_t affectedRows = 0;
    int64_t insertId = 0;
    int64_t extraInfo = 0;
    int fieldCount = 0;
    std::string SSL_key, SSL_cert, SSL_ca, SSL_capath, SSL_cipher;
    bool FSSLVerify = true;
    bool FGetServerPublicKey = false;
    std::string FServerPublicKeyFile;
    bool FSkipPacket = false;
    // The file named by the LOAD DATA LOCAL INFILE statement being executed, if any.
    std::optional<std::string> FLocalInfileName;
    const TLocalRows* FLocalRows = nullptr;
};

} // namespace tabellix

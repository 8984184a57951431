#include "mysql/client/MySqlApiDirectUni.h"

#include "base/Format.h"
#include "base/Text.h"
#include "mysql/protocol/MySqlErrorsUni.h"
#include "mysql/protocol/MySqlResultSetUni.h"
#include "mysql/protocol/MySqlSessionUni.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <memory>

namespace tabellix {
namespace {

constexpr const char* DirectClientVersion = "4.1.3 Direct";

template <class Handle> Handle* Checked(Handle* handle) {
    if (!handle)
        throw EAssertionFailed("nil MySQL handle");
    return handle;
}

void ClearError(PMYSQL mysql) {
    mysql->SetErrno(0);
    mysql->SetError(std::string());
}

void StoreError(PMYSQL mysql, const EMySqlException& e) {
    mysql->SetErrno(static_cast<uint32_t>(e.ErrorCode()));
    mysql->SetError(TextToAnsi(e.Message()));
}

// The status convention: clear the error, run, and turn a protocol error
// into its code kept in the session.
template <class F> int WithStatus(PMYSQL mysql, F&& run) {
    Checked(mysql);
    ClearError(mysql);
    try {
        run();
        return 0;
    } catch (const EMySqlException& e) {
        StoreError(mysql, e);
        return e.ErrorCode();
    }
}

[[noreturn]] void OutOfSync(PMYSQL mysql) {
    throw EMySqlException(CR_COMMANDS_OUT_OF_SYNC,
                          Format("mysql.status = %d", {static_cast<int>(mysql->Status())}));
}

const TMySqlBind& Column(PMYSQL_ROW row, int index) {
    Checked(row);
    if (index < 0 || static_cast<size_t>(index) >= row->Binds.size())
        throw EAssertionFailed(Format("column index out of range (%d)", {index}));
    return row->Binds[static_cast<size_t>(index)];
}

// Bytes of the column to copy: never more than it holds.
size_t Copied(const TMySqlBind& c, size_t length) {
    return c.Offset == 0 ? 0 : std::min<size_t>(length, c.Length);
}

bool IsTextColumn(uint8_t type) {
    return type == MYSQL_TYPE_VARCHAR || type == MYSQL_TYPE_ENUM || type == MYSQL_TYPE_SET ||
           type == MYSQL_TYPE_VAR_STRING || type == MYSQL_TYPE_STRING;
}

} // namespace

TMySQLAPIDirect& MyAPIDirect() {
    static TMySQLAPIDirect api;
    return api;
}

int TMySQLAPIDirect::mysql_num_fields(PMYSQL_RES result) {
    return Checked(result)->FieldCount();
}

int TMySQLAPIDirect::mysql_field_count(PMYSQL mysql) {
    return Checked(mysql)->FieldCount();
}

int64_t TMySQLAPIDirect::mysql_affected_rows(PMYSQL mysql) {
    return Checked(mysql)->AffectedRows();
}

int64_t TMySQLAPIDirect::mysql_insert_id(PMYSQL mysql) {
    return Checked(mysql)->InsertId();
}

uint32_t TMySQLAPIDirect::mysql_errno(PMYSQL mysql) {
    return Checked(mysql)->Errno();
}

std::string TMySQLAPIDirect::mysql_error(PMYSQL mysql) {
    return Checked(mysql)->Error();
}

std::string TMySQLAPIDirect::mysql_info(PMYSQL mysql) {
    return Checked(mysql)->Info();
}

uint32_t TMySQLAPIDirect::mysql_thread_id(PMYSQL mysql) {
    return static_cast<uint32_t>(Checked(mysql)->ThreadId());
}

std::string TMySQLAPIDirect::mysql_character_set_name(PMYSQL) {
    throw ENotSupportedException("mysql_character_set_name is not supported");
}

PMYSQL TMySQLAPIDirect::mysql_init(PMYSQL) {
    return new TMySqlSession();
}

int TMySQLAPIDirect::mysql_ssl_set(PMYSQL mysql, const std::string& key, const std::string& cert,
                                   const std::string& ca, const std::string& capath,
                                   const std::string& cipher) {
    Checked(mysql)->SetProtocolType(MYSQL_PROTOCOL_SSL);
    mysql->SetSSL(key, cert, ca, capath, cipher);
    return 0;
}

PMYSQL TMySQLAPIDirect::mysql_real_connect(PMYSQL mysql, const std::string& host,
                                           const std::string& user, const std::string& passwd,
                                           const std::string& db, unsigned port,
                                           const std::string& unix_socket, uint32_t clientflag) {
    int status = WithStatus(
        mysql, [&] { mysql->Connect(host, user, passwd, db, port, unix_socket, clientflag); });
    return status == 0 ? mysql : nullptr;
}

// A result set still attached loses its session, so that freeing it later
// does not touch the destroyed one.
void TMySQLAPIDirect::mysql_close(PMYSQL mysql) {
    if (!mysql)
        return;
    std::unique_ptr<TMySqlSession> session(mysql);
    try {
        session->Close();
    } catch (const EMySqlException&) {
        // The session goes away either way.
    }
    if (session->ResultSet())
        session->ResultSet()->SetSession(nullptr);
}

int TMySQLAPIDirect::mysql_select_db(PMYSQL mysql, const std::string& db) {
    return WithStatus(mysql, [&] { mysql->SelectDb(db); });
}

// The buffer lock covers only the send, so that statements of connections
// on other threads can be in flight at once.
int TMySQLAPIDirect::mysql_real_query(PMYSQL mysql, const char* q, size_t length) {
    return WithStatus(mysql, [&] {
        if (length > static_cast<size_t>(INT_MAX))
            throw EMySqlException(CR_NET_PACKET_TOO_LARGE);
        {
            std::lock_guard<std::mutex> lock(FQueryBufferCS);
            if (FQueryBuffer.size() < length)
                FQueryBuffer.resize(length);
            if (length > 0)
                std::memcpy(FQueryBuffer.data(), q, length);
            mysql->SimpleCommand(TServerCommand::scQuery, FQueryBuffer.data(),
                                 static_cast<int>(length), true);
        }
        mysql->ReadQueryResult();
    });
}

int TMySQLAPIDirect::mysql_kill(PMYSQL mysql, uint32_t pid) {
    return WithStatus(mysql, [&] {
        uint8_t id[4];
        for (int i = 0; i < 4; ++i)
            id[i] = static_cast<uint8_t>(pid >> (8 * i));
        mysql->SimpleCommand(TServerCommand::scProcessKill, id, 4, false);
    });
}

int TMySQLAPIDirect::mysql_ping(PMYSQL mysql) {
    return WithStatus(mysql, [&] { mysql->Ping(); });
}

std::string TMySQLAPIDirect::mysql_get_server_info(PMYSQL mysql) {
    return Checked(mysql)->ServerVersion();
}

std::string TMySQLAPIDirect::mysql_get_client_info() {
    return DirectClientVersion;
}

std::string TMySQLAPIDirect::mysql_get_host_info(PMYSQL mysql) {
    return Checked(mysql)->HostInfo();
}

PMYSQL_RES TMySQLAPIDirect::mysql_use_result(PMYSQL mysql) {
    PMYSQL_RES result = nullptr;
    WithStatus(mysql, [&] {
        if (mysql->Fields().empty())
            return;
        if (mysql->Status() != TMySqlStatus::msGetResult)
            OutOfSync(mysql);
        result = new TMySqlResultSet(mysql);
        mysql->SetResultSet(result);
        mysql->Fields().clear();
        mysql->SetStatus(TMySqlStatus::msUseResult);
    });
    return result;
}

int TMySQLAPIDirect::mysql_options(PMYSQL mysql, TMySqlOption option, int value) {
    Checked(mysql);
    switch (option) {
    case MYSQL_OPT_CONNECT_TIMEOUT:
        mysql->SetConnectTimeout(value);
        break;
    case MYSQL_OPT_NAMED_PIPE:
        mysql->SetProtocolType(MYSQL_PROTOCOL_PIPE);
        break;
    case MYSQL_OPT_PROTOCOL:
        mysql->SetProtocolType(static_cast<MYSQL_PROTOCOL_TYPE>(value));
        break;
    case MYSQL_OPT_READ_TIMEOUT:
    case MYSQL_OPT_WRITE_TIMEOUT:
        mysql->SetCommandTimeout(value);
        break;
    case MYSQL_OPT_SSL_VERIFY_SERVER_CERT:
        mysql->SetSSLVerify(value != 0);
        break;
    case MYSQL_OPT_GET_SERVER_PUBLIC_KEY:
        mysql->SetGetServerPublicKey(value == 1);
        break;
    case MYSQL_OPT_ANSWER_TIMEOUT:
        mysql->SetReadTimeout(value);
        break;
    case MYSQL_OPT_ALLOW_OLD_PASSWORDS:
        mysql->SetAllowOldPasswords(value == 1);
        break;
    case MYSQL_OPT_MAX_PACKET:
        if (value > 0)
            mysql->SetMaxPacket(static_cast<size_t>(value));
        break;
    default:
        break;
    }
    return 0;
}

int TMySQLAPIDirect::mysql_options(PMYSQL mysql, TMySqlOption option, const std::string& value) {
    Checked(mysql);
    if (option == MYSQL_SERVER_PUBLIC_KEY)
        mysql->SetServerPublicKeyFile(value);
    // Only utf8mb4 changes what the login announces.
    if (option == MYSQL_SET_CHARSET_NAME)
        mysql->SetLoginCollation(SameText(value, "utf8mb4") ? CollationUtf8mb4 : CollationLatin1);
    return 0;
}

void TMySQLAPIDirect::mysql_free_result(PMYSQL_RES result) {
    std::unique_ptr<TMySqlResultSet> owned(Checked(result));
    PMYSQL session = result->Session();
    try {
        result->Clear();
        if (session)
            session->FreeQuery();
    } catch (const EMySqlException&) {
        // The rows are abandoned; the session reports its state itself.
    }
    if (session)
        session->SetResultSet(nullptr);
}

PMYSQL_ROW TMySQLAPIDirect::mysql_fetch_row(PMYSQL_RES result) {
    PMYSQL session = Checked(Checked(result)->Session());
    ClearError(session);
    try {
        return result->Read(result->Bind()) ? result->Bind() : nullptr;
    } catch (const EMySqlException& e) {
        StoreError(session, e);
        if ((session->ServerStatus() & SERVER_MORE_RESULTS_EXISTS) == 0)
            session->SetStatus(TMySqlStatus::msReady);
        return nullptr;
    }
}

bool TMySQLAPIDirect::mysql_more_results(PMYSQL mysql) {
    return (Checked(mysql)->ServerStatus() & SERVER_MORE_RESULTS_EXISTS) != 0;
}

int TMySQLAPIDirect::mysql_next_result(PMYSQL mysql) {
    bool more = false;
    int status = WithStatus(mysql, [&] {
        if (mysql->Status() != TMySqlStatus::msReady)
            OutOfSync(mysql);
        mysql->SetAffectedRows(-1);
        more = (mysql->ServerStatus() & SERVER_MORE_RESULTS_EXISTS) != 0;
        if (more)
            mysql->ReadQueryResult();
    });
    return status != 0 ? status : more ? 0 : -1;
}

void TMySQLAPIDirect::CheckMySQLLib() {
    FClientStructVer = TClientStructVer::cvDirect;
    FClientVer = DirectClientVersion;
}

// Servers before 4.1 report text lengths in characters.
TMYSQL_FIELD TMySQLAPIDirect::_mysql_fetch_field_direct(PMYSQL_RES result, int index,
                                                        bool unicode) {
    Checked(result);
    if (index < 0 || index >= result->FieldCount() ||
        static_cast<size_t>(index) >= result->Fields().size())
        throw EAssertionFailed(Format("field index out of range (%d)", {index}));
    const TMySqlFieldInfo& info = result->Fields()[static_cast<size_t>(index)];
    TMYSQL_FIELD f;
    f.Name = info.Name;
    f.OrgName = info.OrgName.empty() ? info.Name : info.OrgName;
    f.Table = info.Table;
    f.OrgTable = info.OrgTable;
    f.Flags = info.Flags;
    f._type = info._Type;
    f.Decimals = info.Scale;
    f.CharsetNr = static_cast<int32_t>(info.CharsetNr);
    f.LengthInBytes = CorrectFieldLen(info.Length);
    PMYSQL session = result->Session();
    if (unicode && !f.Table.empty() && session && !session->protocol41() && IsTextColumn(f._type))
        f.LengthInBytes *= 3;
    return f;
}

PMYSQL_ROW TMySQLAPIDirect::_mysql_fetch_row(PMYSQL_RES result) {
    return mysql_fetch_row(result);
}

void TMySQLAPIDirect::_mysql_fetch_lengths(PMYSQL_RES result, std::vector<uint32_t>& lengths) {
    PMYSQL_ROW row = Checked(Checked(result)->Bind());
    lengths.resize(static_cast<size_t>(result->FieldCount()));
    for (size_t i = 0; i < lengths.size() && i < row->Binds.size(); ++i)
        lengths[i] = row->Binds[i].Length;
}

bool TMySQLAPIDirect::_mysql_fetch_value_is_null(PMYSQL_ROW row, int index) {
    return Column(row, index).IsNull;
}

const uint8_t* TMySQLAPIDirect::_mysql_fetch_value_ptr(PMYSQL_RES, PMYSQL_ROW row, int index) {
    const TMySqlBind& c = Column(row, index);
    return c.Offset == 0 ? nullptr : row->Buffer + c.Offset;
}

void TMySQLAPIDirect::_mysql_fetch_value_to_buff(PMYSQL_ROW row, int index, uint8_t* buffer,
                                                 size_t offset, size_t length) {
    const TMySqlBind& c = Column(row, index);
    const size_t n = Copied(c, length);
    if (n > 0)
        std::memcpy(buffer + offset, row->Buffer + c.Offset, n);
}

void TMySQLAPIDirect::_mysql_fetch_value_to_buff(PMYSQL_ROW row, int index, uint8_t* buffer,
                                                 size_t length) {
    _mysql_fetch_value_to_buff(row, index, buffer, 0, length);
}

void TMySQLAPIDirect::_mysql_fetch_value_to_str(PMYSQL_ROW row, int index, uint8_t* buffer,
                                                size_t offset, size_t length) {
    _mysql_fetch_value_to_buff(row, index, buffer, offset, length);
    buffer[offset + Copied(Column(row, index), length)] = 0;
}

void TMySQLAPIDirect::_mysql_fetch_value_to_str(PMYSQL_ROW row, int index, uint8_t* buffer,
                                                size_t length) {
    const size_t n = Copied(Column(row, index), length);
    _mysql_fetch_value_to_buff(row, index, buffer, 0, length);
    if (n > 0)
        buffer[n] = 0;
}

const uint8_t* TMySQLAPIDirect::_mysql_fetch_value_arr(PMYSQL_ROW row, int index, size_t& offset) {
    offset = Column(row, index).Offset;
    return row->Buffer;
}

std::string TMySQLAPIDirect::_mysql_fetch_value_str(PMYSQL_ROW row, int index) {
    const TMySqlBind& c = Column(row, index);
    if (c.Offset == 0 || c.Length == 0)
        return {};
    return std::string(reinterpret_cast<const char*>(row->Buffer) + c.Offset, c.Length);
}

} // namespace tabellix

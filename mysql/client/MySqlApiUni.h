// The client API seam: the operations of the classic MySQL client interface
// as virtual operations on opaque handles, the column description record
// and the version parser shared with the connection.
#pragma once

#include "base/Exception.h"

#include <cstdint>
#include <string>
#include <vector>

namespace tabellix {

class TMySqlSession;
class TMySqlResultSet;
class TMySqlBinds;

// Handles: connection, result and row.
using PMYSQL = TMySqlSession*;
using PMYSQL_RES = TMySqlResultSet*;
using PMYSQL_ROW = TMySqlBinds*;

// An operation the implementation in use does not provide.
TABELLIX_EXCEPTION(EAbstractError, Exception);

enum class TClientStructVer { cvDirect, cv3, cv4, cv410, cv411 };

enum TMySqlOption : int {
    MYSQL_OPT_CONNECT_TIMEOUT = 0,
    MYSQL_OPT_COMPRESS = 1,
    MYSQL_OPT_NAMED_PIPE = 2,
    MYSQL_INIT_COMMAND = 3,
    MYSQL_READ_DEFAULT_FILE = 4,
    MYSQL_READ_DEFAULT_GROUP = 5,
    MYSQL_SET_CHARSET_DIR = 6,
    MYSQL_SET_CHARSET_NAME = 7,
    MYSQL_OPT_LOCAL_INFILE = 8,
    MYSQL_OPT_PROTOCOL = 9,
    MYSQL_SHARED_MEMORY_BASE_NAME = 10,
    MYSQL_OPT_READ_TIMEOUT = 11,
    MYSQL_OPT_WRITE_TIMEOUT = 12,
    // Beyond the classic set: certificate verification under TLS (on unless 0),
    // fetching the server's RSA key over a plain link (off unless 1), and a
    // PEM file holding that key (the text form of mysql_options).
    MYSQL_OPT_SSL_VERIFY_SERVER_CERT = 13,
    MYSQL_OPT_GET_SERVER_PUBLIC_KEY = 14,
    MYSQL_SERVER_PUBLIC_KEY = 15,
    // The longest silence a command's answer may keep when the command has
    // no time-out of its own (0: no bound), and the pre-4.1 password
    // scramble (refused unless 1).
    MYSQL_OPT_ANSWER_TIMEOUT = 16,
    MYSQL_OPT_ALLOW_OLD_PASSWORDS = 17,
    // The largest packet taken from the server after the login, in bytes.
    MYSQL_OPT_MAX_PACKET = 18,
};

// Client flags the connection asks for.
constexpr uint32_t CLIENT_FLAG_FOUND_ROWS = 2;
constexpr uint32_t CLIENT_FLAG_COMPRESS = 32;
constexpr uint32_t CLIENT_FLAG_MULTI_STATEMENTS = 65536;

// Column flag bits and the binary character set.
constexpr uint32_t UNSIGNED_FLAG = 32;
constexpr uint32_t BINARY_FLAG = 128;
constexpr int BinaryCharsetNr = 63;

// One column as the record set sees it.
struct TMYSQL_FIELD {
    std::string Name;
    std::string OrgName;
    std::string Table;
    std::string OrgTable;
    uint32_t Flags = 0;
    uint8_t _type = 0;
    uint32_t LengthInBytes = 0;
    int32_t CharsetNr = 0;
    uint32_t Decimals = 0;
};

// Major, minor and release numbers of a version text such as "5.7.33-log".
struct TMySqlVersion {
    int Major = 0;
    int Minor = 0;
    int Release = 0;
};
// Raises EConvertError when a piece is empty or not a number.
TMySqlVersion ParseMySqlVersion(const std::string& text);

class TMySQLAPI {
public:
    TMySQLAPI() = default;
    virtual ~TMySQLAPI() = default;
    TMySQLAPI(const TMySQLAPI&) = delete;
    TMySQLAPI& operator=(const TMySQLAPI&) = delete;
    virtual std::string ClassName() const { return "TMySQLAPI"; }

    // The operations of the client interface; "Abstract Error" here.
    virtual int mysql_num_fields(PMYSQL_RES result);
    virtual int mysql_field_count(PMYSQL mysql);
    virtual int64_t mysql_affected_rows(PMYSQL mysql);
    virtual int64_t mysql_insert_id(PMYSQL mysql);
    virtual uint32_t mysql_errno(PMYSQL mysql);
    virtual std::string mysql_error(PMYSQL mysql);
    virtual std::string mysql_info(PMYSQL mysql);
    virtual uint32_t mysql_thread_id(PMYSQL mysql);
    virtual std::string mysql_character_set_name(PMYSQL mysql);
    virtual PMYSQL mysql_init(PMYSQL mysql);
    virtual int mysql_ssl_set(PMYSQL mysql, const std::string& key, const std::string& cert,
                              const std::string& ca, const std::string& capath,
                              const std::string& cipher);
    virtual PMYSQL mysql_real_connect(PMYSQL mysql, const std::string& host,
                                      const std::string& user, const std::string& passwd,
                                      const std::string& db, unsigned port,
                                      const std::string& unix_socket, uint32_t clientflag);
    virtual void mysql_close(PMYSQL mysql);
    virtual int mysql_select_db(PMYSQL mysql, const std::string& db);
    virtual int mysql_real_query(PMYSQL mysql, const char* q, size_t length);
    virtual int mysql_kill(PMYSQL mysql, uint32_t pid);
    virtual int mysql_ping(PMYSQL mysql);
    virtual std::string mysql_get_server_info(PMYSQL mysql);
    virtual std::string mysql_get_client_info();
    virtual std::string mysql_get_host_info(PMYSQL mysql);
    virtual PMYSQL_RES mysql_use_result(PMYSQL mysql);
    virtual int mysql_options(PMYSQL mysql, TMySqlOption option, int value);
    virtual int mysql_options(PMYSQL mysql, TMySqlOption option, const std::string& value);
    virtual void mysql_free_result(PMYSQL_RES result);
    virtual PMYSQL_ROW mysql_fetch_row(PMYSQL_RES result);
    virtual bool mysql_more_results(PMYSQL mysql);
    virtual int mysql_next_result(PMYSQL mysql);

    virtual bool LoadedMySQLLib() { return true; }
    virtual void LoadMySQLLib() {}
    virtual void FreeMySQLLib() {}
    // Reads the client version and derives the structure generation.
    virtual void CheckMySQLLib();

    // What the record set reads rows with.
    virtual TMYSQL_FIELD _mysql_fetch_field_direct(PMYSQL_RES result, int index, bool unicode) = 0;
    virtual PMYSQL_ROW _mysql_fetch_row(PMYSQL_RES result) = 0;
    virtual void _mysql_fetch_lengths(PMYSQL_RES result, std::vector<uint32_t>& lengths) = 0;
    virtual bool _mysql_fetch_value_is_null(PMYSQL_ROW row, int index) = 0;
    virtual const uint8_t* _mysql_fetch_value_ptr(PMYSQL_RES result, PMYSQL_ROW row, int index) = 0;
    virtual void _mysql_fetch_value_to_buff(PMYSQL_ROW row, int index, uint8_t* buffer,
                                            size_t offset, size_t length) = 0;
    virtual void _mysql_fetch_value_to_buff(PMYSQL_ROW row, int index, uint8_t* buffer,
                                            size_t length) = 0;
    virtual void _mysql_fetch_value_to_str(PMYSQL_ROW row, int index, uint8_t* buffer,
                                           size_t offset, size_t length) = 0;
    virtual void _mysql_fetch_value_to_str(PMYSQL_ROW row, int index, uint8_t* buffer,
                                           size_t length) = 0;
    virtual const uint8_t* _mysql_fetch_value_arr(PMYSQL_ROW row, int index, size_t& offset) = 0;
    virtual std::string _mysql_fetch_value_str(PMYSQL_ROW row, int index) = 0;

    // Lengths of 65536 and more read as 65535.
    static uint32_t CorrectFieldLen(uint64_t length);
    // Read and write time-out of the session; 0 means one year.
    void SetTimeout(PMYSQL mysql, int seconds);

    const std::string& ClientVer() const { return FClientVer; }
    TClientStructVer ClientStructVer() const { return FClientStructVer; }

protected:
    std::string FClientVer;
    TClientStructVer FClientStructVer = TClientStructVer::cvDirect;
};

} // namespace tabellix

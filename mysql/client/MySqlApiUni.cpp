#include "mysql/client/MySqlApiUni.h"

#include "base/Text.h"

#include <cctype>

namespace tabellix {
namespace {

[[noreturn]] void Abstract() {
    throw EAbstractError("Abstract Error");
}

// The run of digits of text starting at from.
std::string DigitsAt(const std::string& text, size_t from) {
    size_t end = from;
    while (end < text.size() && std::isdigit(static_cast<unsigned char>(text[end])))
        ++end;
    return from < text.size() ? text.substr(from, end - from) : std::string();
}

} // namespace

// The release starts one character after the minor run, whatever that
// character is.
TMySqlVersion ParseMySqlVersion(const std::string& text) {
    const size_t dot = text.find('.');
    TMySqlVersion v;
    v.Major = StrToInt(text.substr(0, dot));
    const std::string minor = dot == std::string::npos ? std::string() : DigitsAt(text, dot + 1);
    v.Minor = StrToInt(minor);
    v.Release = StrToInt(DigitsAt(text, dot + 1 + minor.size() + 1));
    return v;
}

int TMySQLAPI::mysql_num_fields(PMYSQL_RES) {
    Abstract();
}
int TMySQLAPI::mysql_field_count(PMYSQL) {
    Abstract();
}
int64_t TMySQLAPI::mysql_affected_rows(PMYSQL) {
    Abstract();
}
int64_t TMySQLAPI::mysql_insert_id(PMYSQL) {
    Abstract();
}
uint32_t TMySQLAPI::mysql_errno(PMYSQL) {
    Abstract();
}
std::string TMySQLAPI::mysql_error(PMYSQL) {
    Abstract();
}
std::string TMySQLAPI::mysql_info(PMYSQL) {
    Abstract();
}
uint32_t TMySQLAPI::mysql_thread_id(PMYSQL) {
    Abstract();
}
std::string TMySQLAPI::mysql_character_set_name(PMYSQL) {
    Abstract();
}
PMYSQL TMySQLAPI::mysql_init(PMYSQL) {
    Abstract();
}
int TMySQLAPI::mysql_ssl_set(PMYSQL, const std::string&, const std::string&, const std::string&,
                             const std::string&, const std::string&) {
    Abstract();
}
PMYSQL TMySQLAPI::mysql_real_connect(PMYSQL, const std::string&, const std::string&,
                                     const std::string&, const std::string&, unsigned,
                                     const std::string&, uint32_t) {
    Abstract();
}
void TMySQLAPI::mysql_close(PMYSQL) {
    Abstract();
}
int TMySQLAPI::mysql_select_db(PMYSQL, const std::string&) {
    Abstract();
}
int TMySQLAPI::mysql_real_query(PMYSQL, const char*, size_t) {
    Abstract();
}
int TMySQLAPI::mysql_kill(PMYSQL, uint32_t) {
    Abstract();
}
int TMySQLAPI::mysql_ping(PMYSQL) {
    Abstract();
}
std::string TMySQLAPI::mysql_get_server_info(PMYSQL) {
    Abstract();
}
std::string TMySQLAPI::mysql_get_client_info() {
    Abstract();
}
std::string TMySQLAPI::mysql_get_host_info(PMYSQL) {
    Abstract();
}
PMYSQL_RES TMySQLAPI::mysql_use_result(PMYSQL) {
    Abstract();
}
int TMySQLAPI::mysql_options(PMYSQL, TMySqlOption, int) {
    Abstract();
}
int TMySQLAPI::mysql_options(PMYSQL, TMySqlOption, const std::string&) {
    Abstract();
}
void TMySQLAPI::mysql_free_result(PMYSQL_RES) {
    Abstract();
}
PMYSQL_ROW TMySQLAPI::mysql_fetch_row(PMYSQL_RES) {
    Abstract();
}
bool TMySQLAPI::mysql_more_results(PMYSQL) {
    Abstract();
}
int TMySQLAPI::mysql_next_result(PMYSQL) {
    Abstract();
}

void TMySQLAPI::CheckMySQLLib() {
    FClientVer = mysql_get_client_info();
    const TMySqlVersion v = ParseMySqlVersion(FClientVer);
    if (v.Major == 3)
        FClientStructVer = TClientStructVer::cv3;
    else if (v.Major == 4 && v.Minor == 0)
        FClientStructVer = TClientStructVer::cv4;
    else if (v.Major == 4)
        FClientStructVer = v.Release == 0 ? TClientStructVer::cv410 : TClientStructVer::cv411;
    else if (v.Major == 5)
        FClientStructVer = TClientStructVer::cv411;
    else
        throw Exception("Invalid client version");
}

uint32_t TMySQLAPI::CorrectFieldLen(uint64_t length) {
    return length < 65536 ? static_cast<uint32_t>(length) : 65535;
}

void TMySQLAPI::SetTimeout(PMYSQL mysql, int seconds) {
    if (FClientStructVer != TClientStructVer::cvDirect &&
        FClientStructVer != TClientStructVer::cv410 && FClientStructVer != TClientStructVer::cv411)
        return;
    // 0 leaves the wait to the session's answer time-out.
    mysql_options(mysql, MYSQL_OPT_READ_TIMEOUT, seconds);
    mysql_options(mysql, MYSQL_OPT_WRITE_TIMEOUT, seconds);
}

} // namespace tabellix

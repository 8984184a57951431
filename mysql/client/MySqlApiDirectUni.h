// The client API over this system's own protocol session: the status
// convention, the shared statement buffer and the row accessors.
#pragma once

#include "mysql/client/MySqlApiUni.h"

#include <mutex>

namespace tabellix {

class TMySQLAPIDirect : public TMySQLAPI {
public:
    std::string ClassName() const override { return "TMySQLAPIDirect"; }

    int mysql_num_fields(PMYSQL_RES result) override;
    int mysql_field_count(PMYSQL mysql) override;
    int64_t mysql_affected_rows(PMYSQL mysql) override;
    int64_t mysql_insert_id(PMYSQL mysql) override;
    uint32_t mysql_errno(PMYSQL mysql) override;
    std::string mysql_error(PMYSQL mysql) override;
    std::string mysql_info(PMYSQL mysql) override;
    uint32_t mysql_thread_id(PMYSQL mysql) override;
    std::string mysql_character_set_name(PMYSQL mysql) override;
    PMYSQL mysql_init(PMYSQL mysql) override;
    int mysql_ssl_set(PMYSQL mysql, const std::string& key, const std::string& cert,
                      const std::string& ca, const std::string& capath,
                      const std::string& cipher) override;
    PMYSQL mysql_real_connect(PMYSQL mysql, const std::string& host, const std::string& user,
                              const std::string& passwd, const std::string& db, unsigned port,
                              const std::string& unix_socket, uint32_t clientflag) override;
    void mysql_close(PMYSQL mysql) override;
    int mysql_select_db(PMYSQL mysql, const std::string& db) override;
    int mysql_real_query(PMYSQL mysql, const char* q, size_t length) override;
    int mysql_kill(PMYSQL mysql, uint32_t pid) override;
    int mysql_ping(PMYSQL mysql) override;
    std::string mysql_get_server_info(PMYSQL mysql) override;
    std::string mysql_get_client_info() override;
    std::string mysql_get_host_info(PMYSQL mysql) override;
    PMYSQL_RES mysql_use_result(PMYSQL mysql) override;
    int mysql_options(PMYSQL mysql, TMySqlOption option, int value) override;
    int mysql_options(PMYSQL mysql, TMySqlOption option, const std::string& value) override;
    void mysql_free_result(PMYSQL_RES result) override;
    PMYSQL_ROW mysql_fetch_row(PMYSQL_RES result) override;
    bool mysql_more_results(PMYSQL mysql) override;
    int mysql_next_result(PMYSQL mysql) override;

    void CheckMySQLLib() override;

    TMYSQL_FIELD _mysql_fetch_field_direct(PMYSQL_RES result, int index, bool unicode) override;
    PMYSQL_ROW _mysql_fetch_row(PMYSQL_RES result) override;
    void _mysql_fetch_lengths(PMYSQL_RES result, std::vector<uint32_t>& lengths) override;
    bool _mysql_fetch_value_is_null(PMYSQL_ROW row, int index) override;
    const uint8_t* _mysql_fetch_value_ptr(PMYSQL_RES result, PMYSQL_ROW row, int index) override;
    void _mysql_fetch_value_to_buff(PMYSQL_ROW row, int index, uint8_t* buffer, size_t offset,
                                    size_t length) override;
    void _mysql_fetch_value_to_buff(PMYSQL_ROW row, int index, uint8_t* buffer,
                                    size_t length) override;
    void _mysql_fetch_value_to_str(PMYSQL_ROW row, int index, uint8_t* buffer, size_t offset,
                                   size_t length) override;
    void _mysql_fetch_value_to_str(PMYSQL_ROW row, int index, uint8_t* buffer,
                                   size_t length) override;
    const uint8_t* _mysql_fetch_value_arr(PMYSQL_ROW row, int index, size_t& offset) override;
    std::string _mysql_fetch_value_str(PMYSQL_ROW row, int index) override;

private:
    std::vector<uint8_t> FQueryBuffer;
    std::mutex FQueryBufferCS;
};

// The one direct API object of the process.
TMySQLAPIDirect& MyAPIDirect();

} // namespace tabellix

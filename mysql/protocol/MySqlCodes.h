// The numbers of the wire, named once: column type codes of column
// descriptions, and the client and server error codes this code raises or
// acts on.
#pragma once

#include <cstdint>

namespace tabellix {

// Column type codes (the type byte of a column description).
enum MySqlColumnType : uint8_t {
    MYSQL_TYPE_DECIMAL = 0,
    MYSQL_TYPE_TINY = 1,
    MYSQL_TYPE_SHORT = 2,
    MYSQL_TYPE_LONG = 3,
    MYSQL_TYPE_FLOAT = 4,
    MYSQL_TYPE_DOUBLE = 5,
    MYSQL_TYPE_NULL = 6,
    MYSQL_TYPE_TIMESTAMP = 7,
    MYSQL_TYPE_LONGLONG = 8,
    MYSQL_TYPE_INT24 = 9,
    MYSQL_TYPE_DATE = 10,
    MYSQL_TYPE_TIME = 11,
    MYSQL_TYPE_DATETIME = 12,
    MYSQL_TYPE_YEAR = 13,
    MYSQL_TYPE_NEWDATE = 14,
    MYSQL_TYPE_VARCHAR = 15,
    MYSQL_TYPE_BIT = 16,
    MYSQL_TYPE_NEWDECIMAL = 246,
    MYSQL_TYPE_ENUM = 247,
    MYSQL_TYPE_SET = 248,
    MYSQL_TYPE_TINY_BLOB = 249,
    MYSQL_TYPE_MEDIUM_BLOB = 250,
    MYSQL_TYPE_LONG_BLOB = 251,
    MYSQL_TYPE_BLOB = 252,
    MYSQL_TYPE_VAR_STRING = 253,
    MYSQL_TYPE_STRING = 254,
    MYSQL_TYPE_GEOMETRY = 255,
};

// Client error codes (their texts are the table of MySqlErrorsUni).
enum MySqlClientError : int {
    CR_UNKNOWN_ERROR = 2000,
    CR_CONN_HOST_ERROR = 2003,
    CR_UNKNOWN_HOST = 2005,
    CR_SERVER_GONE_ERROR = 2006,
    CR_VERSION_ERROR = 2007,
    CR_OUT_OF_MEMORY = 2008,
    CR_SERVER_LOST = 2013,
    CR_COMMANDS_OUT_OF_SYNC = 2014,
    CR_NET_PACKET_TOO_LARGE = 2020,
    CR_SSL_CONNECTION_ERROR = 2026,
    CR_MALFORMED_PACKET = 2027,
    CR_NULL_POINTER = 2028,
    CR_CONN_UNKNOW_PROTOCOL = 2046,
    CR_INVALID_CONN_HANDLE = 2047,
    CR_SECURE_AUTH = 2049,
    CR_AUTH_PLUGIN_CANNOT_LOAD = 2059,
    CR_AUTH_PLUGIN_ERR = 2061,
};

// Server error codes: the two the packet layer raises itself, and those the
// client layer tells apart.
enum MySqlServerError : int {
    ER_SERVER_SHUTDOWN = 1053,
    ER_DUP_ENTRY = 1062,
    ER_PARSE_ERROR = 1064,
    ER_NET_PACKETS_OUT_OF_ORDER = 1156,
    ER_NET_UNCOMPRESS_ERROR = 1157,
};

} // namespace tabellix

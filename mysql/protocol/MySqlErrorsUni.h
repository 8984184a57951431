// The protocol layer's one error class: a numeric code with a message, for
// the client's own failures (codes 2000 to 2047) and the server's error
// packets alike.
#pragma once

#include "base/Exception.h"
#include "base/Format.h"

#include <initializer_list>
#include <string>

namespace tabellix {

// Client error codes raised by this layer.
enum MySqlClientError : int {
    CR_UNKNOWN_ERROR = 2000,
    CR_CONN_HOST_ERROR = 2003,
    CR_UNKNOWN_HOST = 2005,
    CR_SERVER_GONE_ERROR = 2006,
    CR_VERSION_ERROR = 2007,
    CR_SERVER_LOST = 2013,
    CR_COMMANDS_OUT_OF_SYNC = 2014,
    CR_SSL_CONNECTION_ERROR = 2026,
    CR_MALFORMED_PACKET = 2027,
    CR_NULL_POINTER = 2028,
    CR_CONN_UNKNOW_PROTOCOL = 2046,
    CR_INVALID_CONN_HANDLE = 2047,
    CR_AUTH_PLUGIN_CANNOT_LOAD = 2059,
    CR_AUTH_PLUGIN_ERR = 2061,
};

// Server codes the packet layer raises itself.
constexpr int ER_NET_PACKETS_OUT_OF_ORDER = 1156;
constexpr int ER_NET_UNCOMPRESS_ERROR = 1157;

// The client text of a code from 2000 to 2047 or of a login plugin error
// (2059, 2061); empty for any other code.
const std::string& MySqlClientErrorText(int code);

class EMySqlException : public Exception {
public:
    // The code's client text unchanged, placeholders included.
    explicit EMySqlException(int errorCode);
    // The code's client text, then CR LF and msg when msg is not empty.
    EMySqlException(int errorCode, const std::string& msg);
    // The code's client text filled with args, then CR LF and msg when not empty.
    EMySqlException(int errorCode, std::initializer_list<FormatArg> args, const std::string& msg);

    int ErrorCode() const { return FErrorCode; }
    std::string ClassName() const override { return "EMySqlException"; }

private:
    int FErrorCode;
};

} // namespace tabellix

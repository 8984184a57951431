#include "mysql/protocol/MySqlErrorsUni.h"

#include <array>

namespace tabellix {
namespace {

const std::array<std::string, 48> ClientErrors = {
    "Unknown MySQL error",
    "Can't create UNIX socket (%d)",
    "Can't connect to local MySQL server through socket '%-.64s' (%d)",
    "Can't connect to MySQL server on '%s' (%d)",
    "Can't create TCP/IP socket (%d)",
    "Unknown MySQL Server Host '%-.64s' (%d)",
    "MySQL server has gone away",
    "Protocol mismatch. Server Version = %d Client Version = %d",
    "MySQL client run out of memory",
    "Wrong host info",
    "Localhost via UNIX socket",
    "%-.64s via TCP/IP",
    "Error in server handshake",
    "Lost connection to MySQL server during query",
    "Commands out of sync;  You can't run this command now",
    "%-.64s via named pipe",
    "Can't wait for named pipe to host: %s  pipe: %s (%s)",
    "Can't open named pipe to host: %s  pipe: %s (%s)",
    "Can't set state of named pipe to host: %s  pipe: %s (%s)",
    "Can't initialize character set %s (path: %s)",
    "Got packet bigger than 'max_allowed_packet'",
    "Embedded server",
    "Error on SHOW SLAVE STATUS:",
    "Error on SHOW SLAVE HOSTS:",
    "Error connecting to slave:",
    "Error connecting to master:",
    "SSL connection error",
    "Malformed packet",
    "Invalid use of null pointer",
    "Statement not prepared",
    "Not all parameters data supplied",
    "Data truncated",
    "No parameters exists in the statement",
    "Invalid parameter number",
    "Can't send long data for non string or binary data types (parameter: %s)",
    "Using unsupported buffer type: %s  (parameter: %s)",
    "Shared memory (%s)",
    "Can't open shared memory. Request event don't create  (%s)",
    "Can't open shared memory. Answer event don't create  (%s)",
    "Can't open shared memory. File mapping don't create  (%s)",
    "Can't open shared memory. Map of memory don't create  (%s)",
    "Can't open shared memory. File mapping don't create for client (%s)",
    "Can't open shared memory. Map of memory don't create for client (%s)",
    "Can't open shared memory. %s event don't create for client (%s)",
    "Can't open shared memory. Server abandoded and don't sent the answer event (%s)",
    "Can't open shared memory. Can't send the request event to server (%s)",
    "Wrong or unknown protocol",
    "Invalid connection handle",
};

std::string WithDetail(std::string text, const std::string& msg) {
    if (!msg.empty())
        text += "\r\n" + msg;
    return text;
}

} // namespace

const std::string& MySqlClientErrorText(int code) {
    static const std::string none;
    // The login plugins' two errors and the refused old scramble, beyond the classic table.
    static const std::string pluginCannotLoad = "Authentication plugin '%s' cannot be loaded";
    static const std::string pluginError = "Authentication plugin '%s' reported error: %s";
    if (code == CR_AUTH_PLUGIN_CANNOT_LOAD)
        return pluginCannotLoad;
    if (code == CR_AUTH_PLUGIN_ERR)
        return pluginError;
    static const std::string secureAuth =
        "Login refused: the server wants the pre-4.1 password scramble, which is open to "
        "offline guessing (the option AllowOldPasswords allows it)";
    if (code == CR_SECURE_AUTH)
        return secureAuth;
    if (code < 2000 || code > 2047)
        return none;
    return ClientErrors[static_cast<size_t>(code - 2000)];
}

EMySqlException::EMySqlException(int errorCode)
    : Exception(MySqlClientErrorText(errorCode)), FErrorCode(errorCode) {}

EMySqlException::EMySqlException(int errorCode, const std::string& msg)
    : EMySqlException(errorCode, {}, msg) {}

EMySqlException::EMySqlException(int errorCode, std::initializer_list<FormatArg> args,
                                 const std::string& msg)
    : Exception(WithDetail(Format(MySqlClientErrorText(errorCode), args), msg)),
      FErrorCode(errorCode) {}

} // namespace tabellix

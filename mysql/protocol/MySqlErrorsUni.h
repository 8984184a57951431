// The protocol layer's one error class: a numeric code with a message, for
// the client's own failures (codes 2000 to 2047) and the server's error
// packets alike.
#pragma once

#include "base/Exception.h"
#include "base/Format.h"
#include "mysql/protocol/MySqlCodes.h"

#include <initializer_list>
#include <string>

namespace tabellix {

// The client text of a code from 2000 to 2047, of the refused old scramble
// (2049) or of a login plugin error (2059, 2061); empty for any other code.
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

#include "cli/error_line.h"

#include "base/Format.h"
#include "dataaccess/crbase/CRAccess.h"

namespace tabellix::cli {

namespace {

// The client's own codes; their detail, when there is one, follows the
// sentence after CR LF.
bool IsClientCode(int code) {
    return code >= 2000 && code < 3000;
}

std::string OneLine(std::string text) {
    std::string line;
    line.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\r' && text[i] != '\n') {
            line += text[i];
            continue;
        }
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
            ++i;
        line += ' ';
    }
    return line;
}

std::string ServerStyle(int code, std::string message) {
    if (message.starts_with("\r\n"))
        message.erase(0, 2);
    std::string state = "HY000";
    if (message.size() >= 6 && message[0] == '#') {
        state = message.substr(1, 5);
        message.erase(0, 6);
    }
    if (const size_t detail = message.find("\r\n");
        IsClientCode(code) && detail != std::string::npos)
        message.replace(detail, 2, ": ");
    return Format("ERROR %d (%s): %s", {code, state, OneLine(std::move(message))});
}

} // namespace

std::string ErrorLine(const std::exception& error) {
    if (const auto* database = dynamic_cast<const EDAError*>(&error);
        database && database->ErrorCode() != 0)
        return ServerStyle(database->ErrorCode(), database->Message());
    return std::string("tabellix-convert: ") + error.what();
}

} // namespace tabellix::cli

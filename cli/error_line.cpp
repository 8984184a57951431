#include "cli/error_line.h"

#include "base/Format.h"
#include "base/Text.h"
#include "crbase/CRAccess.h"
#include "dataaccess/ServerSession.h"

namespace tabellix::cli {

namespace {

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

// The client's own errors carry their detail, when there is one, after the
// sentence and a CR LF.
std::string ServerStyle(const EDAError& error) {
    const int code = error.ErrorCode();
    auto [state, message] = SplitServerMessage(error);
    if (const size_t detail = message.find("\r\n");
        IsClientCode(code) && detail != std::string::npos)
        message.replace(detail, 2, ": ");
    return Format("ERROR %d (%s): %s",
                  {code, EscapeControls(state), EscapeControls(OneLine(std::move(message)))});
}

} // namespace

std::string ErrorLine(const std::exception& error) {
    if (const auto* database = dynamic_cast<const EDAError*>(&error);
        database && database->ErrorCode() != 0)
        return ServerStyle(*database);
    return std::string("tabellix-convert: ") + error.what();
}

} // namespace tabellix::cli
